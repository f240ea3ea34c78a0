// A test source of two capture pins and a test sink; every object they made is gone after a test.
#pragma once

#include <gtest/gtest.h>

#include "tests/dshow/support/comptr.h"
#include "tests/dshow/support/testsink.h"
#include "tests/dshow/testsource/testsource.h"

class SourceSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = CUnknown::ObjectsActive();
    HRESULT hr = S_OK;
    source_ = new TestSourceFilter(nullptr, &hr, 2);
    source_->NonDelegatingAddRef();
    sink_ = new TestSinkFilter(&hr);
    sink_->NonDelegatingAddRef();
    ASSERT_EQ(hr, S_OK);
  }
  void TearDown() override {
    SetEvent(in()->releaseReceive);
    source_->Stop();
    out()->Disconnect();
    in()->Disconnect();
    source_->NonDelegatingRelease();
    sink_->NonDelegatingRelease();
    EXPECT_EQ(CUnknown::ObjectsActive(), baseline_);
  }

  TestSourceStream* out(int n = 0) { return source_->Stream(n); }
  TestSinkPin* in() { return sink_->Pin(); }

  ComScope com_;
  LONG baseline_ = 0;
  TestSourceFilter* source_ = nullptr;
  TestSinkFilter* sink_ = nullptr;
};
