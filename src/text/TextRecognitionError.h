#pragma once

// Why a screenshot's text could not be obtained. The first two are the recognition errors
// proper; the last two carry, as values, what elsewhere would be the task's cancellation and
// an error passed on from the engine, so callers see every failure in one closed set.
enum class TextRecognitionError {
    // The screenshot file cannot be opened or decoded as an image.
    unreadableImage,
    // The screenshot file no longer matches its record (modified, replaced or removed).
    changedImage,
    // The caller asked to stop before the text was complete.
    cancelled,
    // The recognition engine failed: it could not start (no language data), gave up on the
    // image (per-image time limit) or reported an error.
    engineFailure,
};
