#pragma once
// Tests at the near end of a fresh test network whose slow host answers after
// kServerDelayMs, once for each kind of echo socket; skipped where the network
// cannot be made.

#include "echopath.h"
#include "netlab.h"

#include "net/echosocketkind.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

inline constexpr int kServerDelayMs = 47;

class EchoLabTest : public testing::TestWithParam<EchoSocketKind> {
protected:
    void SetUp() override
    {
        std::string whyNot;
        lab_ = EchoLab::Create(kServerDelayMs, whyNot);
        if (!lab_)
            GTEST_SKIP() << whyNot;
    }
    std::unique_ptr<EchoLab> lab_;
};

// Names the instances of such a test after their socket kind.
inline std::string SocketKindTestName(const testing::TestParamInfo<EchoSocketKind>& info)
{
    return KindName(info.param);
}
