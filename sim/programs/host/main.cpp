// The chat add-on's side of the plug-in, for trying it by hand and for the
// demo: it runs the simulated messenger and add-on in this process, loads
// the plug-in from its registration as the add-on would, and calls it late
// bound.
//
//   sim_host.exe                      load, list the commands
//   sim_host.exe --command TEXT ...   load, then hand each typed text to ParseCommand
//   sim_host.exe --demo               the scripted session of the README
//   sim_host.exe --expect-song-change load from the registration alone; exit 0
//                                     once a song change reached the messenger
#include "sim/messenger/SimMessenger.h"
#include "sim/programs/host/Console.h"
#include "sim/programs/host/Demo.h"
#include "sim/programs/host/HostCalls.h"

#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace tc;

namespace {

const wchar_t* kProgId = L"Tunecaster.PlayerPlugin";

std::wstring widen(const char* s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

int listAndRun(const std::vector<std::wstring>& commands) {
    sim::SimMessenger& messenger = sim::SimMessenger::instance();
    messenger.registerClass();
    host::HostedPlugin plugin;
    HRESULT hr = plugin.load(kProgId, messenger.signinName());
    if (FAILED(hr)) {
        std::printf("cannot load the plug-in: 0x%08lx (is it registered?)\n", hr);
        return 1;
    }
    host::printPublished(plugin.info());
    for (const std::wstring& text : commands) {
        bool handled = false;
        std::wstring result;
        hr = plugin.parseCommand(text, handled, result);
        host::plain(L"  " + text + L" -> " + (handled ? L"handled" : L"not a command") +
                    L"; onOff = '" + host::currentSetting(L"onOff") + L"'");
    }
    plugin.uninitialize();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    host::initConsole();
    if (FAILED(OleInitialize(nullptr))) return 2;
    int rc = 0;
    if (argc >= 2 && std::strcmp(argv[1], "--demo") == 0) {
        rc = host::runDemo(kProgId);
    } else if (argc >= 2 && std::strcmp(argv[1], "--expect-song-change") == 0) {
        rc = host::expectSongChange(kProgId);
    } else {
        std::vector<std::wstring> commands;
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--command") == 0 && i + 1 < argc) commands.push_back(widen(argv[++i]));
        }
        rc = listAndRun(commands);
    }
    std::fflush(stdout);
    // The plug-in keeps its process-wide objects until the process ends.
    _exit(rc);
}
