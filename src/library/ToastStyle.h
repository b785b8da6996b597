#pragma once

// How the library's transient message is drawn. `trash` is only used for the move-to-Trash
// message, which the gallery shows with an Undo button.
enum class ToastStyle {
    success,
    failure,
    trash,
};
