#pragma once

class QThreadPool;

// The threads our own background work runs on: scans, checks, encodings, warm-ups.
//
// Not Qt's global pool: the raster paint engine splits every large fill over that pool's threads
// and waits for them on the GUI thread, so a scan or a font listing of ours queued there held up
// painting until it finished.
namespace BackgroundPool {

QThreadPool &shared();

} // namespace BackgroundPool
