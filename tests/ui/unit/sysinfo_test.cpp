// The about box's way to the system information tool: reading the machine's
// values that name it, and starting it or telling the user it is missing.
#include "platform/Handles.h"
#include "tests/ui/UiSupport.h"
#include "ui/FormIds.h"
#include "ui/SysInfo.h"

#include <atomic>
#include <thread>

namespace tc::test {
namespace {

using ui::GetKeyValue;

constexpr const wchar_t* kTestKey = L"Software\\Tunecaster tests\\KeyValue";

class GetKeyValueTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tunecaster tests"); }
    void TearDown() override { SetUp(); }

    static void setRaw(const wchar_t* name, DWORD type, const void* data, size_t size) {
        ASSERT_TRUE(writeRaw(kTestKey, name, rawOf(type, data, size)));
    }
};

TEST_F(GetKeyValueTest, AMissingOrOverlongValueEmptiesTheTextAndFails) {
    auto read = [](const wchar_t* name) {
        std::wstring value = L"left over";
        const bool found = GetKeyValue(HKEY_CURRENT_USER, kTestKey, name, value);
        return std::pair{found, value};
    };
    const std::pair<bool, std::wstring> failed = {false, L""};
    EXPECT_EQ(read(L"PATH"), failed) << "no key";
    setRaw(L"Other", REG_SZ, L"x", 4);
    EXPECT_EQ(read(L"PATH"), failed) << "no value";
    const std::wstring huge(5000, L'x');
    setRaw(L"Huge", REG_SZ, huge.c_str(), (huge.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(read(L"Huge"), failed) << "longer than the buffer";
}

// Text without its terminator, whether stored with one or not. A DWORD's
// bytes from the last to the first, each in hexadecimal without a leading
// zero, after the text as it came in, "&h" in front; a last byte of zero is
// dropped first. Any other type leaves the text as it was.
TEST_F(GetKeyValueTest, EachTypeComesBackAsTheLookUpReadsIt) {
    auto readBack = [](DWORD type, const void* data, size_t size) {
        setRaw(L"Value", type, data, size);
        std::wstring value = L"as it came in";
        EXPECT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"Value", value)) << type;
        return value;
    };
    const wchar_t path[] = L"C:\\Program Files\\Tools\\msinfo32.exe";
    EXPECT_EQ(readBack(REG_SZ, path, sizeof path), path);
    EXPECT_EQ(readBack(REG_SZ, path, sizeof path - sizeof(wchar_t)), path) << "no terminator";
    const wchar_t accented[] = L"C:\\Outils \x00e9t\x00e9";
    EXPECT_EQ(readBack(REG_SZ, accented, sizeof accented), accented);
    for (const auto& [number, text] :
         {std::pair<DWORD, const wchar_t*>{0x12345678, L"&has it came in12345678"},
          {0x0A0B0C0D, L"&has it came inABCD"},
          {0x0105, L"&has it came in015"},
          {0x01000005, L"&has it came in1005"},
          {0xABCDEF, L"&has it came inABCDEF"},
          {0, L"&has it came in000"},
          {0xFFFFFFFF, L"&has it came inFFFFFFFF"}})
        EXPECT_EQ(readBack(REG_DWORD, &number, sizeof number), text);
    const BYTE bytes[] = {1, 2, 3};
    EXPECT_EQ(readBack(REG_BINARY, bytes, sizeof bytes), L"as it came in");
    const wchar_t multi[] = L"a\0b\0";
    EXPECT_EQ(readBack(REG_MULTI_SZ, multi, sizeof multi), L"as it came in");
}

// As the machine's keys are for users without administrator rights.
TEST_F(GetKeyValueTest, AKeyTheUserMayOnlyReadIsRead) {
    const wchar_t path[] = L"C:\\Tools\\msinfo32.exe";
    setRaw(L"PATH", REG_SZ, path, sizeof path);
    ASSERT_TRUE(setKeyRights(HKEY_CURRENT_USER, kTestKey, kReadOnly));
    struct Restore {
        ~Restore() { setKeyRights(HKEY_CURRENT_USER, kTestKey, kFullAccess); }
    } restore;
    RegKey all;
    if (reg::open(HKEY_CURRENT_USER, kTestKey, KEY_ALL_ACCESS, all) == ERROR_SUCCESS)
        GTEST_SKIP() << "this system does not enforce the key's access rights";

    std::wstring value;
    EXPECT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"PATH", value));
    EXPECT_EQ(value, path);
}

class StartSysInfo : public ::testing::Test {
protected:
    // The machine-wide values that lead to the tool, removed before and
    // after each test so that every case sets up exactly its own.
    void SetUp() override {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ui::kSysInfoKey, ui::kSysInfoPathValue);
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ui::kSysInfoFolderKey, ui::kSysInfoFolderValue);
    }
    void TearDown() override { SetUp(); }

    static void setMachineString(const wchar_t* key, const wchar_t* name,
                                 const std::wstring& value) {
        ASSERT_TRUE(slotValues::writeString(HKEY_LOCAL_MACHINE, key, name, value));
    }

    // Starts the tool over a window of this test while another thread answers
    // every "unavailable" box; how many there were, and whether each was
    // owned by that window. A box holds the call until answered, so the count
    // is complete when it returns.
    struct Told {
        int boxes = 0;
        bool owned = true;
    };
    static Told start() {
        OwnedWindow owner(CreateWindowExW(0, L"Static", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 10,
                                          10, nullptr, nullptr, nullptr, nullptr));
        const DWORD thread = GetCurrentThreadId();
        std::atomic<bool> returned{false};
        Told told;
        std::thread answerer([&] {
            for (; !returned; Sleep(20)) {
                if (HWND box = messageBoxOf(thread, ui::kSysInfoUnavailable)) {
                    ++told.boxes;
                    told.owned = told.owned && GetWindow(box, GW_OWNER) == owner.get();
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                    waitGone(box);
                }
            }
        });
        ui::StartSysInfo(owner.get());
        returned = true;
        answerer.join();
        return told;
    }
};

TEST_F(StartSysInfo, TellsTheUserWhenTheToolCannotBeFoundOrStarted) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring emptyFolder = std::wstring(temp) + L"tc-no-sysinfo";
    CreateDirectoryW(emptyFolder.c_str(), nullptr);
    struct Case {
        const char* what;
        const wchar_t* key;
        const wchar_t* name;
        std::wstring value;
    } cases[] = {
        {"no keys at all", nullptr, nullptr, L""},
        {"first key names a missing program", ui::kSysInfoKey, ui::kSysInfoPathValue,
         L"C:\\nowhere\\at all\\msinfo32.exe"},
        {"second key names a folder without the program", ui::kSysInfoFolderKey,
         ui::kSysInfoFolderValue, emptyFolder},
        {"first key empty", ui::kSysInfoKey, ui::kSysInfoPathValue, L""},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.key) setMachineString(c.key, c.name, c.value);
        const Told told = start();
        EXPECT_EQ(told.boxes, 1) << c.what;
        EXPECT_TRUE(told.owned) << c.what;
    }
    RemoveDirectoryW(emptyFolder.c_str());
}

// The first key's text is taken as it is: a path, a quoted path, or a
// command line with arguments.
TEST_F(StartSysInfo, StartsTheProgramTheRegistryNamesInANormalWindow) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring notepad = std::wstring(system) + L"\\notepad.exe";
    ASSERT_NE(GetFileAttributesW(notepad.c_str()), INVALID_FILE_ATTRIBUTES);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring note = std::wstring(temp) + L"sysinfo note.txt";
    KernelHandle(CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (const std::wstring& value :
         {notepad, L"\"" + notepad + L"\"", L"\"" + notepad + L"\" \"" + note + L"\""}) {
        SCOPED_TRACE(testing::PrintToString(value));
        setMachineString(ui::kSysInfoKey, ui::kSysInfoPathValue, value);
        EXPECT_EQ(start().boxes, 0);
        HWND tool = waitForWindow(L"Notepad", 15000);
        ASSERT_NE(tool, nullptr) << "the program did not start";
        EXPECT_FALSE(IsIconic(tool));
        PostMessageW(tool, WM_CLOSE, 0, 0);
        waitGone(tool);
    }
    DeleteFileW(note.c_str());
}

} // namespace
} // namespace tc::test
