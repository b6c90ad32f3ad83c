#pragma once

/// Starts the editor: makes the application, runs start-up and the event loop.
int KELApplicationMain(int argc, char** argv);
