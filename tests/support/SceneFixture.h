#pragma once

#include "render/Quadric.h"
#include "render/View.h"
#include "support/GLTestContext.h"
#include "support/QtTestMain.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// A current GL context in the scene's state, with a quadric to draw with;
// skipped without a display.
class TSceneFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TARVIN_NEEDS_DISPLAY();
        GL = std::make_unique<TGLTestContext>();
        ASSERT_TRUE(GL->Valid());
        InitSceneState();
        Quadric.emplace();
    }

    std::unique_ptr<TGLTestContext> GL;
    std::optional<TQuadric> Quadric;
};
