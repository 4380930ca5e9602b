// GoogleTest's customisation header, found before its own (tests/CMakeLists.txt). The
// compilers' win32 thread model has no std::mutex or std::condition_variable; GoogleTest
// needs them only for Notification, given here on a Windows event (GtestNotification.cpp).
#ifndef KV_GTEST_CUSTOM_PORT_H
#define KV_GTEST_CUSTOM_PORT_H

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

// Lets a controller thread hold back threads it created until it calls Notify.
class Notification {
 public:
  Notification();
  ~Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify();
  void WaitForNotification();

 private:
  void* m_hEvent;  // owned manual-reset event; void* keeps <windows.h> out of GoogleTest
};

}  // namespace internal
}  // namespace testing

#endif
