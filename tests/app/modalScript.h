// Acting on the modal windows that the code under test opens while it waits for them. Steps run
// in order: each waits until a window of its type is the active modal window, then acts on it
// once, from a queued call of its own (so that an act may open further modal windows, which the
// following steps then handle). A window on which an act is still running is not taken again
// until that act returns.
//
//   TModalScript script;
//   script.Then<QInputDialog>([](QInputDialog* d) { ...type...; Press(d, Qt::Key_Return); });
//   QTest::mouseClick(addButton, Qt::LeftButton);   // returns when the prompt is closed
//   EXPECT_TRUE(script.Finished());
//
// A step that finds no window within the time limit fails the test and closes every modal window,
// so that a test never hangs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <typeinfo>

class TModalScript {
 public:
  explicit TModalScript(int timeLimitMs = 20000) : limit_(timeLimitMs) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
    clock_.start();
  }
  ~TModalScript() { timer_.stop(); }

  template <class W>
  TModalScript& Then(std::function<void(W*)> act) {
    steps_.push_back({typeid(W).name(), [](QWidget* w) { return qobject_cast<W*>(w) != nullptr; },
                      [act](QWidget* w) { act(static_cast<W*>(w)); }});
    return *this;
  }
  // Every step has acted and its act returned.
  bool Finished() const { return steps_.empty() && running_.empty(); }

 private:
  struct TStep {
    std::string type;
    std::function<bool(QWidget*)> matches;
    std::function<void(QWidget*)> act;
  };

  void Poll() {
    if (steps_.empty()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && !running_.count(modal) && steps_.front().matches(modal)) {
      TStep step = steps_.front();
      steps_.pop_front();
      clock_.restart();
      QTimer::singleShot(0, [this, step, modal] {
        running_.insert(modal);
        step.act(modal);
        running_.erase(running_.find(modal));
      });
      return;
    }
    if (clock_.elapsed() > limit_) {
      ADD_FAILURE() << "No modal window for the step " << steps_.front().type;
      steps_.clear();
      while (QWidget* w = QApplication::activeModalWidget()) {
        if (auto* d = qobject_cast<QDialog*>(w)) {
          d->reject();
        } else {
          w->close();
        }
        if (QApplication::activeModalWidget() == w) break;
      }
    }
  }

  int limit_;
  QTimer timer_;
  QElapsedTimer clock_;
  std::deque<TStep> steps_;
  std::multiset<QWidget*> running_;
};
