#include "compare/compare_signatures.h"

#include "compare/report.h"
#include "model/app_state.h"
#include "model/messages.h"

ContentCheck ContentInForce()
{
    if (appState.calculateChecksums.load(std::memory_order_relaxed) == 0) {
        return ContentCheck::None;
    }
    return appState.useSha256.load(std::memory_order_relaxed) != 0 ? ContentCheck::Digests : ContentCheck::Checksums;
}

bool FindScanDifferences()
{
    bool stopped = appState.scanStopped.load(std::memory_order_relaxed) != 0;
    FindDifferences(appState.ScanTable, appState.LoadedTable, ContentInForce(), appState.differenceTable);

    // Entries the scan had to leave out are news too: the report names them.
    // After a Stop, "identical" would claim what was never checked.
    if (appState.differenceTable.entryCount == 0 &&
        appState.scanSkippedCount.load(std::memory_order_relaxed) == 0 && !stopped) {
        ShowMessage(MessageKind::Information, "OK - No difference",
                    "The signatures are identical. All files are the same");
        return false;
    }
    return true;
}

void CompareSignatures()
{
    if (FindScanDifferences()) {
        WriteResultReport();
    }
}
