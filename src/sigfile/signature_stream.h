// Reading and writing a signature over a byte stream. Portable: the Windows
// side opens the files, shows the messages and resets the state.
#pragma once

#include <cstdint>

#include "model/app_state.h"
#include "model/record_table.h"
#include "model/signature.h"
#include "sigfile/byte_stream.h"
#include "sigfile/format.h"

// Where a read puts what it takes from a file. The options are in and out:
// a layout-0 file carries no checksum option, so that one is left as given;
// useSha256 says whether the file holds SHA-256 digests.
struct SignatureTarget {
    SignatureHeader* header;
    DirectoryList* directoryList;
    RecordTable* records;
    int32_t recordLimit;  // MAX_FILES, or fewer
    int32_t includeDriveLetter;
    int32_t calculateChecksums;
    int32_t useSha256;
};

// Reads a whole signature file of any layout. The header's name becomes
// fileTitle; the stored one is never used. The record table is emptied
// before the records are read, so no record of an earlier signature
// survives after the file's. On failure the target is left partly written.
// Nothing is ever read or written past a buffer, whatever the file holds:
// counts, lengths and texts are checked before they are used, and a file
// with more records than recordLimit is refused (09), as is one whose
// records need more memory than there is (11). Records come out in path
// order (PutInPathOrder), or OutOfMemory (11) when sorting them finds no room.
LoadError ReadSignature(ByteSource& source, const char* fileTitle, SignatureTarget& target);

// Writes the header and the directory list as given, then every record of
// the table, in the header's layout: with each record's digest in layout 2,
// and in layout 3 when its digestKind says so. Sets nothing: the caller
// puts the name, layoutVersion and digestKind into the header (SetSavedLayout).
SaveError WriteSignature(ByteSink& sink, const SignatureHeader& header, const DirectoryList& list,
                         const RecordTable& records);

// The layout and digest kind a signature of recordCount records is saved
// in: 1, or 2 with digests, exactly as before tables grew; 3 past
// MAX_CLASSIC_FILES records.
void SetSavedLayout(SignatureHeader& header, bool digests, int32_t recordCount);

// Copies a file title into a header's name, shortened to fit.
void SetSignatureName(SignatureHeader& header, const char* fileTitle);

// ReadSignature into the state: header, directoryList, LoadedTable
// and the two options. On success the new header is published under
// textLock; on failure the caller puts the state back to "No signature
// loaded" (the directory list and the table are already partly replaced).
LoadError LoadSignatureStream(AppState& state, ByteSource& source, const char* fileTitle);

// Writes the state's signature under the name fileTitle, in the
// layout SetSavedLayout gives it. Leaves the
// shared state as it is: only a save that has fully succeeded renames the
// signature, through NameSavedSignature.
SaveError SaveSignatureStream(AppState& state, ByteSink& sink, const char* fileTitle);

// The signature now lives in the file with this title.
void NameSavedSignature(AppState& state, const char* fileTitle);
