// How the Outlook check and the folder scan grow with their input, against
// the fakes: both should be linear.
#include "fakes/FakePlatform.h"
#include "files/CFileList.h"
#include "process/CProcessList.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void AddProcesses(fakes::FakeKernel& kernel, std::int64_t count)
{
    for (std::int64_t i = 1; i < count; ++i) {
        kernel.AddProcess(static_cast<std::uint32_t>(i * 4),
                          "C:\\Windows\\System32\\svchost" + std::to_string(i) + ".exe");
    }
    kernel.AddProcess(static_cast<std::uint32_t>(count * 4), "C:\\Program Files\\Microsoft Office\\OUTLOOK.EXE");
}

void OutlookCheck(benchmark::State& state, std::uint32_t platformId)
{
    fakes::FakePlatform os;
    os.kernel.platformId = platformId;
    os.kernel.majorVersion = platformId == 1 ? 4 : 5;
    os.kernel.minorVersion = 10;
    AddProcesses(os.kernel, state.range(0));
    for (auto _ : state) {
        CProcessList processes;
        benchmark::DoNotOptimize(processes.IsProcessRunning(u"outlook.exe"));
    }
    state.SetComplexityN(state.range(0));
}

void BM_OutlookCheckNT(benchmark::State& state)
{
    OutlookCheck(state, 2);
}

void BM_OutlookCheck9x(benchmark::State& state)
{
    OutlookCheck(state, 1);
}

void BM_FolderScan(benchmark::State& state)
{
    fakes::FakePlatform os;
    auto& folder = os.kernel.folders["C:\\Program Files (x86)\\Common Files\\Kestrin Software"];
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        folder.push_back({"Component" + std::to_string(i) + (i % 3 == 0 ? ".ocx" : ".dll"), 0x20});
    }
    for (auto _ : state) {
        CFileList files;
        files.FileNameMask(u"*.dll");
        files.FolderName(u"C:\\Program Files (x86)\\Common Files\\Kestrin Software");
        benchmark::DoNotOptimize(files.FileCount());
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_OutlookCheckNT)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(32767)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OutlookCheck9x)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(32767)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FolderScan)->Arg(10)->Arg(1000)->Arg(100000)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);
