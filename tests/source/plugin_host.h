// A host in the test process for the plug-in's code: the function table, the plug-in folder
// (the built one, with its res/) and the plug-in's resource.
#pragma once

#include <gtest/gtest.h>

#include "c4d_os.h"
#include "c4d_resource.h"
#include "runtime/host.h"

struct PluginHost : ::testing::Test {
  hostrt::Host host;
  BaseDocument* doc = nullptr;

  void SetUp() override {
    doc = host.NewDocument();
    ASSERT_TRUE(InitOS(&host));
    SetPluginPath(Filename(PELTERRA_PLUGIN_DIR));
    ASSERT_TRUE(g_resource.Init(GeGetPluginPath())) << g_resource.GetLastError();
  }
  void TearDown() override {
    host.CloseAllWindows();
    FreeOS();
  }
};
