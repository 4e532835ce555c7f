#include "operation/wording.h"

#include "model/signature.h"
#include "sigfile/format.h"

namespace {

// The first lines of a list, for a box that must fit on the screen.
std::string FirstLines(const std::string& text, int count)
{
    size_t end = 0;
    for (int line = 0; line < count && end != std::string::npos; ++line) {
        end = text.find('\n', end == 0 ? 0 : end + 1);
    }
    return end == std::string::npos ? text : text.substr(0, end + 1) + "...";
}

}  // namespace

Wording WindowWording(const Message& message)
{
    const std::string number = std::to_string(message.number);
    switch (message.id) {
    case MessageId::NoSignatureLoaded:
        return {MessageKind::Warning, "Olvarin - No signature loaded",
                "You need to create or load a signature file before\ndoing a compare operation"};
    case MessageId::NoDirectorySelected:
        return {MessageKind::Warning, "Olvarin - No Directory Selected",
                "You need to select a directory or disk to scan\n"
                "from the Config window before starting this operation."};
    case MessageId::TooManyFiles:
        return {MessageKind::Warning, "Too many files", "Error: The maximum number of indexable files has been reached"};
    case MessageId::ScanOutOfMemory:
        return {MessageKind::Warning, "Out of memory",
                "Error: Memory ran out after " + number + " files were recorded; the files after them are not covered"};
    case MessageId::EntriesNotRecorded:
        return {MessageKind::Warning, "Files not recorded",
                "Files or folders not recorded because their paths are longer than " +
                    std::to_string(RECORD_PATH_SIZE - 1) + " characters: " + number};
    case MessageId::FoldersNotRead:
        return {MessageKind::Warning, "Folders not read",
                "Folders that could not be read, whose files are not recorded: " + number + "\n" +
                    FirstLines(message.text, 20)};
    case MessageId::LinksNotFollowed:
        return {MessageKind::Information, "Links not followed",
                "Links not followed because they lead back to a folder above them: " + number + "\n" +
                    FirstLines(message.text, 20)};
    case MessageId::NoDifference:
        return {MessageKind::Information, "OK - No difference", "The signatures are identical. All files are the same"};
    case MessageId::CannotCreateReport:
        return {MessageKind::Plain, "Error", "Could not create the Olvarin logfile"};
    case MessageId::LoadFailed:
        return {MessageKind::Error, LOAD_ERROR_TITLE, LoadErrorText(static_cast<LoadError>(message.number))};
    case MessageId::SaveFailed:
        return {MessageKind::Error, SAVE_ERROR_TITLE, SaveErrorText(static_cast<SaveError>(message.number))};
    case MessageId::OperationOutOfMemory:
        return {MessageKind::Warning, "Out of memory", "Error: Out of memory: the operation was abandoned"};
    case MessageId::CannotWriteJson:
        return {MessageKind::Error, "Error",
                std::string("Error: Could not ") + (message.number == 0 ? "create" : "write") + " the JSON report " +
                    message.text};
    case MessageId::CannotReadReport:
        return {MessageKind::Error, "Error", "Error: Could not read the report " + message.text};
    case MessageId::ReportRefused:
        return {MessageKind::Error, "Nothing accepted", message.text};
    case MessageId::CannotKeepBackup:
        return {MessageKind::Error, "Nothing accepted",
                "Nothing accepted: could not keep the previous signature as " + message.text};
    }
    return {MessageKind::Plain, "", ""};
}
