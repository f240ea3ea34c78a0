// A camera deleted from one of its own threads: that thread is let go instead of joined and, once
// the user callback that deleted the camera returns, unwinds to its entry without touching it.
#pragma once

class OwnThreadDelete {
 public:
  // The destructor's stop, on the camera thread that deletes the camera, marks that thread.
  static void markThisThread();
  // After each user callback on a camera thread: leaves when that callback deleted the camera.
  static void leaveIfDeleted();
  // Whether a callback on this thread deleted the camera.
  static bool deletedHere();

  // The entry of every camera thread, the only place the leaving ends.
  template <class Body>
  static void run(Body&& body) {
    try {
      body();
    } catch (const Leave&) {
    }
  }

 private:
  struct Leave {};
};
