// Accept: takes exactly the differences that a reviewed JSON Lines report
// lists into the signature file it was made against, and nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "model/app_state.h"
#include "model/observer.h"
#include "model/stop_token.h"
#include "seal/key_format.h"

struct AcceptResult {
    bool accepted = false;  // else told why (unless stopped), and the file is as it was
    bool stopped = false;   // a Ctrl+C came first
    int64_t counts[3] = {0, 0, 0};  // added, removed, changed
    std::string backupPath;          // where the previous file was kept
};

// Loads signaturePath into state, checks the report at reportPath against
// it (sound JSON Lines, made from this very file, complete, every line's
// old values the signature's), keeps the file as signaturePath.bak and
// saves the signature with the changes applied.
// A Stop asked for on stop before the new file takes its place leaves
// every file as it was.
// With sealKey, the new file is sealed before it takes its place, and a
// seal that was there is kept beside the previous file as FILE.sig.seal.bak.
AcceptResult AcceptReport(AppState& state, OperationObserver& observer, const StopToken& stop,
                          const std::string& signaturePath, const std::string& reportPath,
                          const PrivateKey* sealKey = nullptr);
