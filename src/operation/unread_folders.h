// What a Compare may call missing: only what the scan looked for.
#pragma once

#include <cstdint>
#include <string>

#include "compare/difference_walk.h"
#include "model/app_state.h"

// Tells a signature record that the scan did not find apart: missing, or
// unchecked because it lies under a folder the scan could not read. A
// folder may also drop out of its parent's listing without being gone (a
// link whose target is gone, a share or volume gone offline), so before
// records are called missing the folder they were recorded in is looked at,
// once: path or file not found means they are missing; any other failure
// makes it an unread folder too. Marks each unread folder the signature
// holds records under; asking again (a second report) changes nothing.
class UnreadFolderJudge : public MissingJudge {
public:
    explicit UnreadFolderJudge(AppState& state) : state_(state) {}
    bool LookedFor(const RecordTable& loaded, int32_t index) override;

private:
    // The unread folder that holds the recorded folder, or -1.
    int64_t UnreadHolding(const std::string& folder) const;
    // Looks at a recorded folder the scan did not list; -1 when its records
    // are missing, else the new unread folder's index.
    int64_t LookAt(const std::string& folder);

    AppState& state_;
    std::string lastFolder_;
    int64_t lastUnread_ = -1;
    bool any_ = false;
};
