#include "console/ConsoleMessages.h"
#include "console/ConsoleProgram.h"
#include "platform/win32/Win32Console.h"
#include "platform/win32/Win32Platform.h"

// The administrators' program: the system's families with the console's own,
// and no window among them.
int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    platform::win32::Win32System system;
    platform::win32::Win32Console console{system.libraries, system.kernel};
    ConsoleMessages messages(ConsoleProgram::WantsJson(arguments));
    platform::Services services = system.AsServices();
    services.console = &console;
    services.messages = &messages;
    const platform::ScopedServices installed(services);
    return ConsoleProgram(arguments).Run();
}
