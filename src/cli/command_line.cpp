#include "cli/command_line.h"

#include <algorithm>
#include <cstdio>

#include "model/signature.h"
#include "operation/operation.h"

namespace {

constexpr char USAGE[] =
    "Usage:\n"
    "  olvarin-cli create FILE.sig --include DIR [--include DIR ...] [--exclude DIR ...]\n"
    "                     [--checksums] [--sha256] [--drive-letter] [--quiet] [--seal NAME.key]\n"
    "  olvarin-cli compare FILE.sig [--report FILE.txt] [--json OUT.jsonl|-] [--quiet] [--trust NAME.pub]\n"
    "  olvarin-cli accept FILE.sig REPORT.jsonl [--seal NAME.key]\n"
    "  olvarin-cli show FILE.sig [--records] [--trust NAME.pub]\n"
    "  olvarin-cli keygen NAME\n"
    "  olvarin-cli --help | --version\n"
    "\n"
    "create   records every file under the Include directories, but those under an\n"
    "         Exclude directory, and saves the signature to FILE.sig. --sha256 also\n"
    "         records each file's SHA-256 digest (with --checksums, which it implies).\n"
    "compare  walks the directories stored in FILE.sig with its options and, when\n"
    "         anything differs, writes the result report to FILE.txt (by default\n"
    "         olvarinresult.txt in Documents\\Quillory\\Olvarin). --json also\n"
    "         writes every difference and a last summary line as JSON Lines to OUT\n"
    "         ('-': standard output, the usual summary then on standard error).\n"
    "accept   takes into FILE.sig exactly the differences that a JSON report of a\n"
    "         Compare of it lists, without reading the disk: delete a report's\n"
    "         line to leave that change out. It refuses, changing nothing, when\n"
    "         the signature changed since the report or the report is incomplete;\n"
    "         the previous signature is kept as FILE.sig.bak.\n"
    "show     prints the signature's header, options and directories; --records\n"
    "         adds one tab-separated line per file: path, size, attributes (hex),\n"
    "         creation and last-write time (UTC), checksum or '-', and for a\n"
    "         signature with SHA-256 the digest in hex or '-'.\n"
    "keygen   makes an ECDSA P-256 key pair: NAME.key, the private key (keep it\n"
    "         off the watched machine), and NAME.pub; prints its fingerprint.\n"
    "--seal   after saving FILE.sig, writes FILE.sig.seal: the signature of its\n"
    "         bytes with the private key. Accept of a sealed file needs it.\n"
    "--trust  first checks FILE.sig.seal against FILE.sig with the public key;\n"
    "         exit 5 when it does not verify, with nothing scanned or written.\n"
    "--quiet  no progress line while the walk runs. Ctrl+C, at any point, ends\n"
    "         the command and leaves every file as it was.\n"
    "\n"
    "Exit codes:\n"
    "  0  done, no difference\n"
    "  1  differences found, or entries left unchecked because their paths are\n"
    "     longer than 299 characters (the report says how many)\n"
    "  2  bad command line, a file that cannot be read or written, or a damaged\n"
    "     signature file\n"
    "  3  stopped by Ctrl+C: nothing was written\n"
    "  4  the file limit (4000000 files) was reached, or memory ran out first:\n"
    "     only the files recorded until then are covered (wins over 1)\n"
    "  5  the seal is missing or does not verify with the --trust key\n";

}  // namespace

void PrintUsage()
{
    std::printf("%s", USAGE);
}

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "olvarin-cli: %s\n\n%s", problem.c_str(), USAGE);
    return EXIT_FAILED;
}

// Reads the words after the command into line; an empty text when they make
// sense for the command, else what is wrong.
std::string ParseArguments(int argc, char** argv, CommandLine& line)
{
    const bool create = line.command == "create";
    const bool compare = line.command == "compare";
    const bool show = line.command == "show";
    const bool accept = line.command == "accept";
    const bool keygen = line.command == "keygen";
    if (!create && !compare && !show && !accept && !keygen) {
        return "unknown command '" + line.command + "'";
    }
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        bool takesValue = (create && (word == "--include" || word == "--exclude")) ||
                          (compare && (word == "--report" || word == "--json")) ||
                          ((create || accept) && word == "--seal") || ((compare || show) && word == "--trust");
        if (takesValue) {
            if (i + 1 >= argc) {
                return word + " needs a value";
            }
            std::string value = argv[++i];
            if (word == "--seal" || word == "--trust") {
                line.key = value;
            } else if (word == "--report") {
                line.report = value;
            } else if (word == "--json") {
                line.json = value;
            } else {
                line.entries.emplace_back(word == "--include" ? Include : Exclude, value);
            }
        } else if (create && word == "--checksums") {
            line.checksums = true;
        } else if (create && word == "--sha256") {
            line.checksums = line.sha256 = true;
        } else if (create && word == "--drive-letter") {
            line.driveLetter = true;
        } else if ((create || compare) && word == "--quiet") {
            line.quiet = true;
        } else if (show && word == "--records") {
            line.records = true;
        } else if (word.compare(0, 2, "--") == 0 || (!line.file.empty() && (!accept || !line.report.empty()))) {
            return "unexpected '" + word + "' for " + line.command;
        } else {
            (line.file.empty() ? line.file : line.report) = word;
        }
    }
    if (line.file.empty()) {
        return keygen ? "keygen needs the name of the key files" : line.command + " needs a signature file";
    }
    if (accept && line.report.empty()) {
        return "accept needs the JSON report of a compare";
    }
    if (create && line.entries.end() == std::find_if(line.entries.begin(), line.entries.end(),
                                                     [](const auto& e) { return e.first == Include; })) {
        return "create needs at least one --include";
    }
    return "";
}
