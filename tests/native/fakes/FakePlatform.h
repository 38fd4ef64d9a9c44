#pragma once

#include "fakes/FakeKernel.h"
#include "fakes/FakeProcessStatus.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeWindowing.h"
#include "platform/Platform.h"

namespace fakes {

// Every fake family, installed as the platform for the object's lifetime.
struct FakePlatform {
    FakeKernel kernel;
    FakeProcessStatus processStatus{kernel};
    FakeRegistry registry;
    FakeWindowing windowing;
    platform::ScopedServices installed{{&kernel, &processStatus, &registry, &windowing, nullptr}};
};

} // namespace fakes
