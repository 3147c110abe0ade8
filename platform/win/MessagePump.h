#pragma once
// The window thread's message pump.

namespace win {

// Runs every pending event of the window thread (the forms runtime's DoEvents).
void pumpMessages();

// Sleeps in the event loop for up to `milliseconds`, running events as they arrive.
void waitForEvents(int milliseconds);

}  // namespace win
