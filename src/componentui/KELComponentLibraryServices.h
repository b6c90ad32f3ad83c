#pragma once
// Start-up of the component library's background work: the search workers and
// the picture loader stop, and are waited for, when the application quits.

/// Call once at start-up.
void KELInstallComponentLibraryServices();
/// Cancels the searches, stops the loader and waits for both (safe to call twice).
void KELStopComponentLibraryWorkers();
