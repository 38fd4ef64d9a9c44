#pragma once

#include "fakes/FakeConsole.h"
#include "fakes/FakeEventLog.h"
#include "fakes/FakeKernel.h"
#include "fakes/FakeLaunch.h"
#include "fakes/FakeProcessStatus.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSecurity.h"
#include "fakes/FakeWindowing.h"
#include "platform/Platform.h"

namespace fakes {

// Every fake family, installed as the platform for the object's lifetime.
// Pauses and launches go to the windowing log, so that one list holds every
// event in its order.
struct FakePlatform {
    FakePlatform()
    {
        kernel.journal = &windowing.log;
        launch.journal = &windowing.log;
        windowing.kernel = &kernel;
        // The folders every Windows has where the tool keeps its record.
        kernel.folders["C:\\ProgramData"];
        kernel.folders["C:\\Users\\admin\\AppData\\Local\\Temp"];
    }

    FakeKernel kernel;
    FakeProcessStatus processStatus{kernel};
    FakeRegistry registry;
    FakeWindowing windowing;
    FakeLaunch launch{kernel, registry};
    FakeConsole console;
    FakeSecurity security{kernel};
    FakeEventLog eventLog;
    platform::ScopedServices installed{{&kernel, &processStatus, &registry, &windowing, &launch, &security, &windowing,
                                        &windowing, &console, &eventLog}};
};

} // namespace fakes
