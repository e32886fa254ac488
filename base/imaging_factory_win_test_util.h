// A test fixture holding COM and a Windows Imaging Component factory for each test, as the worker
// thread holds them.
#pragma once

#include <gtest/gtest.h>

#include <objbase.h>
#include <wincodec.h>

namespace hm {

class ImagingFactoryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))));
    }
    void TearDown() override {
        if (factory) factory->Release();
        CoUninitialize();
    }
    IWICImagingFactory* factory = nullptr;
};

}  // namespace hm
