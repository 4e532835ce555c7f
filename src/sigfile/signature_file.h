// Saving and loading signature files by path: the files themselves, the
// messages and the state changes around the portable reader and writer.
#pragma once

#include <cstdio>
#include <functional>

#include "model/app_state.h"
#include "model/observer.h"
#include "model/stop_token.h"
#include "sigfile/format.h"

class ByteSink;

// Lets a test put its own stream between the save and the file, to make a
// write fail part way.
using SaveSinkWrapper = ByteSink& (*)(ByteSink& file);

// Writes the state's signature to path; the header's name becomes fileTitle. The file
// is written whole under a temporary name beside path and put in its place
// only once every byte is written and closed, so a save that fails leaves a
// file that was there before as it was, and the signature keeps its name.
// True when the file was written; failures are told to observer.
bool SaveSignatureTo(AppState& state, OperationObserver& observer, const char* path, const char* fileTitle);
// The same without a message and without renaming the signature, the
// written bytes passing through wrap when given. Once every byte is on the
// disk, mayPutInPlace (when given) has the last word, with the temporary
// file's name: false withdraws the file (Withdrawn) and leaves path as it was.
SaveError SaveSignatureFile(AppState& state, const char* path, const char* fileTitle, SaveSinkWrapper wrap = nullptr,
                            const std::function<bool(const char* temporary)>& mayPutInPlace = nullptr);

// Replaces the state's signature with the file's. True when a signature was
// loaded; after a failure's message the state is "No signature loaded".
// fileDigest, when given, receives the SHA-256 of the file's bytes as they
// were read. A Stop asked for on stop ends the load as a failure without
// a message.
bool LoadSignatureFrom(AppState& state, OperationObserver& observer, const char* path, const char* fileTitle,
                       unsigned char* fileDigest = nullptr, const StopToken* stop = nullptr);

// A copy of the file at path in a fresh temporary file beside it (its name
// into temporary, MAX_PATH characters); false, leaving nothing, when none
// can be made.
bool CopyBeside(const char* path, char* temporary);

// Puts a file written whole under a temporary name in place of path; false,
// with the temporary file removed, when it cannot take that name.
bool PutInPlace(const char* temporary, const char* path);

// The file name and extension of a path, without its folder: the title a
// signature takes from its file.
const char* FileTitle(const char* path);

// Writes what the stream holds through to the disk, so that a file renamed
// into place after it survives a power cut whole. False when it cannot.
bool FlushToDisk(std::FILE* file);

// A fresh temporary file in the folder of path (its full name into
// temporary, MAX_PATH characters), so that putting it in place of path is a
// rename on one volume. False when none can be made there.
bool MakeTemporaryFileBeside(const char* path, char* temporary);
