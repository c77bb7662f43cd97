// The main window on a screen smaller than its designed size: a 1600 x 1000 screen scaled by 2
// (800 x 500 device-independent pixels).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <memory>

#include "app/qorApplication.h"
#include "app/uVazadod.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/grid/qorPlannerGrid.h"
#include "tests/app/appTestPlanner.h"
#include "tests/qtTestEnvironment.h"

namespace {

const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(
    new TQtTestEnvironment<TqorApplication>("app_smallscreen_tests", 1600, 1000, "2"));

TEST(SmallScreen, TheMainWindowShrinksIntoTheAvailableArea) {
  TqorRegionalSettingsGuard guard;
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_EQ(available.size(), QSize(800, 500)) << "the screen scaled by 2";
  TTestPlanner planner;
  auto window = std::make_unique<TfrmVazadod>(planner.Path(), VZ_SOURCE_DIR);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  const QRect client = window->geometry();
  EXPECT_GE(client.top() - 32, available.top()) << "room for the title bar";
  EXPECT_TRUE(available.contains(client))
      << client.x() << "," << client.y() << " " << client.width() << "x" << client.height();
  EXPECT_LE(client.height(), 500 - 40);
  EXPECT_EQ(client.width(), 782) << "the designed width still fits";
}

}  // namespace
