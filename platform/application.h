#pragma once
// The platform's application object: one per process, created before any
// window, clipboard or font is touched. The interface carries no Qt types.

namespace brek_platform {

// Creates the application object once (later calls do nothing). With no
// display to connect to, falls back to the offscreen platform instead of
// aborting, so the program and its tests also run headless.
void init_application(int& argc, char** argv);

// Whether init_application has run.
bool application_exists();

// Processes pending native events once, posted deletions included.
void process_events();

// Destroys the application object (at the end of the program).
void shutdown_application();

}  // namespace brek_platform
