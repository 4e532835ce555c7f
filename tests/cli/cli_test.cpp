// The console program, run as a child process on trees the tests make.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "support/test_files.h"

namespace {

// The child's output without the CR that text mode adds to each line.
std::string ReadOutput(const std::string& path)
{
    std::string text = ReadWholeFile(path);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

void SetTimes(const std::string& path, FILETIME time)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, &time, &time, &time);
    CloseHandle(file);
}

}  // namespace

Outcome RunCli(const std::vector<std::string>& args)
{
    static const std::string folder = MakeTestFolder("cli-output");
    const std::string outPath = folder + "\\out.txt", errPath = folder + "\\err.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    std::string commandLine = "\"" OLVARIN_CLI_PATH "\"";
    for (const std::string& arg : args) {
        // A backslash before the closing quote would escape it.
        commandLine += " \"" + arg + (!arg.empty() && arg.back() == '\\' ? "\\\"" : "\"");
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION child = {};
    Outcome outcome = {~0u, "", ""};
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        if (WaitForSingleObject(child.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(child.hProcess, ~0u);
        GetExitCodeProcess(child.hProcess, &outcome.exitCode);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    CloseHandle(out), CloseHandle(err);
    outcome.out = ReadOutput(outPath), outcome.err = ReadOutput(errPath);
    return outcome;
}

TEST(Cli, BadCommandLinesAndRefusedEntriesExitTwo)
{
    const std::string tree = MakeTestFolder("cli-refused"), sig = tree + "\\never.sig";
    const struct {
        std::vector<std::string> args;
        std::string err;  // its first line; the usage follows a bad command line
        bool usage;
    } cases[] = {
        {{}, "olvarin-cli: no command given", true},
        {{"check", sig}, "olvarin-cli: unknown command 'check'", true},
        {{"create", sig, "--include"}, "olvarin-cli: --include needs a value", true},
        {{"create", sig, "--include", tree, "--exclude", tree + "\\"},
         "The directory you have selected is already in the list", false},
    };
    for (const auto& c : cases) {
        Outcome outcome = RunCli(c.args);
        EXPECT_EQ(outcome.exitCode, 2u) << c.err;
        EXPECT_EQ(outcome.err.substr(0, outcome.err.find('\n')), c.err);
        EXPECT_EQ(outcome.err.find("\nUsage:\n") != std::string::npos, c.usage) << c.err;
    }
}

// The rewritten file keeps its size and positional sum: only SHA-256 finds it.
TEST(Cli, CreateShowCompareAndDamagedFiles)
{
    std::string tree = MakeTestFolder("cli-tree");
    MakeFolder(tree + "\\skip");
    for (const char* name : {"same", "gone", "grows", "rewritten", "touched", "tampered", "readonly", "skip\\x"})
        WriteTestFile(tree + "\\" + name + ".txt", "ab");
    SetTimes(tree + "\\same.txt", {0, 0x01D00000});
    const std::string folder = MakeTestFolder("cli-files"), sig = folder + "\\cli.sig", report = folder + "\\report.txt";
    const std::string recorded = tree.substr(2);  // without the drive letter

    Outcome created = RunCli({"create", sig, "--include", tree + "\\", "--exclude", tree + "\\skip", "--sha256"});
    EXPECT_EQ(created.exitCode, 0u);
    EXPECT_EQ(created.out, "Recorded 7 files in 1 folders (0.0 MB) in " + sig + "\n");
    EXPECT_EQ(created.err, "");  // no progress line without a console

    // The digest is the one sha256sum gives for "ab".
    Outcome shown = RunCli({"show", sig, "--records"});
    EXPECT_EQ(shown.exitCode, 0u);
    EXPECT_EQ(shown.out.substr(0, shown.out.find("\n" + recorded) + 1),
              "Name: cli.sig\nLayout: 2\nFolders: 1\nFiles: 7\nTotal size: 14 bytes (0.0 MB)\n"
              "Checksums: SHA-256\nDrive letter: no\nInclude " + tree + "\nExclude " + tree + "\\skip\n");
    EXPECT_NE(shown.out.find("\n" + recorded + "\\same.txt\t2\t00000020\t2014-11-14T11:41:59Z\t2014-11-14T11:41:59Z\t1058\t"
                             "fb8e20fc2e4c3f248c60c39bd652f3c1347298bb977b8b4d5903b85055620603\n"), std::string::npos);
    EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\t'), 7 * 6);

    Outcome same = RunCli({"compare", sig, "--report", report});
    EXPECT_EQ(same.exitCode, 0u);
    EXPECT_EQ(same.err, "The signatures are identical. All files are the same\n");
    EXPECT_EQ(GetFileAttributesA(report.c_str()), INVALID_FILE_ATTRIBUTES);

    DeleteFileA((tree + "\\gone.txt").c_str());
    WriteTestFile(tree + "\\new.txt", "n");
    WriteTestFile(tree + "\\grows.txt", "abc");
    WriteTestFile(tree + "\\rewritten.txt", "ca");
    SetTimes(tree + "\\touched.txt", {0, 0x01D00000});
    SetFileAttributesA((tree + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteTestFile(tree + "\\skip\\x.txt", "excluded");
    // A signature from elsewhere may differ in a modify time alone.
    std::string bytes = ReadWholeFile(sig);
    size_t details = bytes.find(recorded + "\\tampered.txt") + recorded.size() + 13;
    bytes[details + 12] ^= 1;  // the low byte of the last-write time
    WriteTestFile(sig, bytes);

    Outcome changed = RunCli({"compare", sig, "--report", report});
    EXPECT_EQ(changed.exitCode, 1u);
    EXPECT_EQ(changed.out,
              "Extra files: 1\nMissing files: 1\nDifferent size: 1\nDifferent creation time: 1\n"
              "Different modify time: 1\nDifferent attributes: 1\nDifferent checksum: 1\nReport: " + report + "\n");
    SetFileAttributesA((tree + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    WriteTestFile(sig, "");
    Outcome damaged = RunCli({"compare", sig});
    EXPECT_EQ(damaged.exitCode, 2u);
    EXPECT_EQ(damaged.err, "Error: Could not read signature info from the signature file (01)\n");
    // A signature without directories: the refusal names the option, not a window.
    std::string empty = bytes;
    empty.replace(336, 4, 4, '\0');         // the directory count
    empty.replace(336 + 7808, 8, 8, '\0');  // the Include and the Exclude entry
    WriteTestFile(sig, empty);
    Outcome refused = RunCli({"compare", sig});
    EXPECT_EQ(refused.exitCode, 2u);
    EXPECT_EQ(refused.err, "The signature names no directory to scan: make it again with create --include DIR.\n");
}

// The JSON Lines on standard output and in a file; accept takes exactly the
// lines left in the report, then refuses it, as the signature has changed.
TEST(Cli, JsonReportAndAcceptTakeExactlyTheReviewedChanges)
{
    std::string tree = MakeTestFolder("cli-json"), files = MakeTestFolder("cli-json-files");
    const std::string sig = files + "\\s.sig", json = files + "\\r.jsonl", text = files + "\\r.txt";
    for (const char* name : {"\\keep.txt", "\\change.txt", "\\caf\xE9.txt"}) WriteTestFile(tree + name, "a");
    ASSERT_EQ(RunCli({"create", sig, "--include", tree, "--checksums"}).exitCode, 0u);
    WriteTestFile(tree + "\\change.txt", "bb");
    DeleteFileA((tree + "\\caf\xE9.txt").c_str());
    WriteTestFile(tree + "\\added.txt", "d");
    Outcome piped = RunCli({"compare", sig, "--json", "-", "--report", text});
    EXPECT_EQ(piped.exitCode, 1u);
    EXPECT_NE(piped.err.find("Extra files: 1\n"), std::string::npos);
    std::vector<std::string> lines;
    std::istringstream out(piped.out);
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << piped.out;
    for (const char* field : {"{\"type\":\"summary\",", "\"added\":1,\"removed\":1,\"changed\":1,", "\"exit_code\":1}"})
        EXPECT_NE(lines[3].find(field), std::string::npos) << field;
    EXPECT_NE(lines[1].find("\\\\caf\xC3\xA9.txt\","), std::string::npos) << lines[1];  // the name in UTF-8

    ASSERT_EQ(RunCli({"compare", sig, "--json", json, "--report", text, "--quiet"}).exitCode, 1u);
    std::istringstream file(ReadWholeFile(json));
    std::string kept;  // the reviewer leaves the change out
    for (std::string line; std::getline(file, line);) kept += line.find("\"changed\",") == std::string::npos ? line + "\n" : "";
    WriteTestFile(json, kept);
    Outcome accepted = RunCli({"accept", sig, json});
    EXPECT_EQ(accepted.out, "Accepted 1 added, 1 removed, 0 changed into " + sig + " (previous kept as " + sig + ".bak)\n");
    EXPECT_EQ(RunCli({"accept", sig, json}).exitCode, 2u);
    Outcome after = RunCli({"compare", sig, "--report", text});
    EXPECT_EQ(after.exitCode, 1u);
    EXPECT_NE(after.out.find("Extra files: 0\nMissing files: 0\nDifferent size: 1\n"), std::string::npos);
}

// Unix links as Wine shows them: a link back to a folder above is not
// followed; behind a link whose target went away is a folder that cannot be
// read, whose files stay in the signature, unchecked, through accept.
TEST(Cli, ALinkBackUpIsNotFollowedAndFilesBehindADanglingLinkStayUnchecked)
{
    std::string root = std::string("Z:") + std::getenv("OLVARIN_TEST_TMP") + "\\links";
    std::replace(root.begin(), root.end(), '/', '\\');
    const std::string files = MakeTestFolder("cli-links"), sig = files + "\\s.sig", json = files + "\\r.jsonl";
    Outcome loop = RunCli({"create", sig, "--include", root + "\\loop"});
    EXPECT_EQ(loop.exitCode, 0u);
    EXPECT_EQ(loop.err, "Link not followed (it leads back to a folder above it): " + root + "\\loop\\bin\\X11\n");
    EXPECT_NE(loop.out.find("Recorded 2 files"), std::string::npos) << loop.out;

    ASSERT_NE(RunCli({"create", sig, "--include", root + "\\dangling"}).out.find("Recorded 6 files"), std::string::npos);
    ASSERT_TRUE(MoveFileA((root + "\\dangling\\data-real").c_str(), (root + "\\dangling\\data-away").c_str()));
    Outcome compared = RunCli({"compare", sig, "--json", json, "--report", files + "\\r.txt", "--quiet"});
    MoveFileA((root + "\\dangling\\data-away").c_str(), (root + "\\dangling\\data-real").c_str());
    EXPECT_EQ(compared.exitCode, 1u);
    EXPECT_EQ(compared.err.find("Folder not read: " + root + "\\dangling\\link ("), 0u) << compared.err;
    EXPECT_NE(compared.out.find("Extra files: 3\nMissing files: 3\n"), std::string::npos) << compared.out;
    EXPECT_NE(compared.out.find("Not checked (their folders could not be read): 3\n"), std::string::npos);
    EXPECT_EQ(RunCli({"accept", sig, json}).exitCode, 0u);
    const std::string shown = RunCli({"show", sig, "--records"}).out;
    for (const char* name : {"\\link\\f1\t", "\\link\\f2\t", "\\link\\f3\t", "\\data-away\\f1\t"})
        EXPECT_NE(shown.find(name), std::string::npos) << name;
}
