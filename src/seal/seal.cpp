#include "seal/seal.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "compare/report_json.h"
#include "sigfile/signature_file.h"

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

// A CNG algorithm provider, closed when done with.
struct Provider {
    explicit Provider(const wchar_t* algorithm) { open = Ok(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0)); }
    ~Provider()
    {
        if (open) BCryptCloseAlgorithmProvider(handle, 0);
    }
    BCRYPT_ALG_HANDLE handle = nullptr;
    bool open = false;
};

// A key of the P-256 curve, imported from its blob: the header, X, Y and,
// for a private key, d.
struct Key {
    Key(const PrivateKey& key, bool secret) : provider(BCRYPT_ECDSA_P256_ALGORITHM)
    {
        const ULONG size = sizeof(BCRYPT_ECCKEY_BLOB) + (secret ? 3 : 2) * P256_BYTES;
        Bytes blob(size);
        BCRYPT_ECCKEY_BLOB header = {
            static_cast<ULONG>(secret ? BCRYPT_ECDSA_PRIVATE_P256_MAGIC : BCRYPT_ECDSA_PUBLIC_P256_MAGIC),
            static_cast<ULONG>(P256_BYTES)};
        std::memcpy(blob.data(), &header, sizeof header);
        std::memcpy(blob.data() + sizeof header, key.publicKey.x, P256_BYTES);
        std::memcpy(blob.data() + sizeof header + P256_BYTES, key.publicKey.y, P256_BYTES);
        if (secret) std::memcpy(blob.data() + sizeof header + 2 * P256_BYTES, key.d, P256_BYTES);
        open = provider.open && Ok(BCryptImportKeyPair(provider.handle, nullptr,
                                                      secret ? BCRYPT_ECCPRIVATE_BLOB : BCRYPT_ECCPUBLIC_BLOB,
                                                      &handle, blob.data(), size, 0));
        SecureZeroMemory(blob.data(), blob.size());
    }
    ~Key()
    {
        if (open) BCryptDestroyKey(handle);
    }
    Provider provider;
    BCRYPT_KEY_HANDLE handle = nullptr;
    bool open = false;
};

// The SHA-256 of bytes, or of a file's bytes read in blocks.
bool Sha256(const Bytes* bytes, const std::string* path, uint8_t digest[32])
{
    Provider sha(BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!sha.open || !Ok(BCryptCreateHash(sha.handle, &hash, nullptr, 0, nullptr, 0, 0))) return false;
    bool ok = true;
    if (bytes != nullptr) {
        ok = Ok(BCryptHashData(hash, const_cast<PUCHAR>(bytes->data()), static_cast<ULONG>(bytes->size()), 0));
    } else {
        std::FILE* file = std::fopen(path->c_str(), "rb");
        ok = file != nullptr;
        static thread_local unsigned char block[1 << 16];
        for (size_t got; ok && (got = std::fread(block, 1, sizeof block, file)) > 0;) {
            ok = Ok(BCryptHashData(hash, block, static_cast<ULONG>(got), 0));
        }
        if (file != nullptr) ok = !std::ferror(file) && std::fclose(file) == 0 && ok;
    }
    ok = ok && Ok(BCryptFinishHash(hash, digest, 32, 0));
    BCryptDestroyHash(hash);
    return ok;
}

bool ReadFileBytes(const std::string& path, Bytes& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

std::string SealPath(const std::string& signaturePath) { return signaturePath + ".seal"; }

bool GenerateKey(PrivateKey& key)
{
    Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!ecdsa.open || !Ok(BCryptGenerateKeyPair(ecdsa.handle, &handle, 256, 0))) return false;
    Bytes blob(sizeof(BCRYPT_ECCKEY_BLOB) + 3 * P256_BYTES);
    ULONG got = 0;
    bool ok = Ok(BCryptFinalizeKeyPair(handle, 0)) &&
              Ok(BCryptExportKey(handle, nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(), static_cast<ULONG>(blob.size()),
                                 &got, 0)) &&
              got == blob.size();
    BCryptDestroyKey(handle);
    if (ok) {
        const uint8_t* at = blob.data() + sizeof(BCRYPT_ECCKEY_BLOB);
        std::memcpy(key.publicKey.x, at, P256_BYTES);
        std::memcpy(key.publicKey.y, at + P256_BYTES, P256_BYTES);
        std::memcpy(key.d, at + 2 * P256_BYTES, P256_BYTES);
    }
    SecureZeroMemory(blob.data(), blob.size());
    return ok;
}

std::string Fingerprint(const PublicKey& key)
{
    uint8_t digest[32];
    const Bytes der = EncodePublicKey(key);
    return Sha256(&der, nullptr, digest) ? Hex(digest, sizeof digest) : "";
}

std::string LoadKey(const std::string& path, KeyKind wanted, PrivateKey& key)
{
    Bytes bytes;
    if (!ReadFileBytes(path, bytes)) return "Error: Could not read the key file " + path;
    KeyKind kind;
    const std::string problem = ReadKey(std::string(bytes.begin(), bytes.end()), kind, key);
    if (!problem.empty()) return "Error: " + path + " holds " + problem + ", not an ECDSA P-256 key";
    if (kind != wanted) {
        return "Error: " + path + " holds a " + (kind == KeyKind::Public ? "public" : "private") + " key; this needs the " +
               (wanted == KeyKind::Public ? "public key (--trust NAME.pub)" : "private key (--seal NAME.key)");
    }
    return "";
}

std::string SignFile(const std::string& path, const PrivateKey& key, Bytes& seal)
{
    uint8_t digest[32], rs[2 * P256_BYTES];
    ULONG got = 0;
    Key secret(key, true);
    if (!Sha256(nullptr, &path, digest)) return "Error: Could not read " + path + " to seal it";
    if (!secret.open || !Ok(BCryptSignHash(secret.handle, nullptr, digest, sizeof digest, rs, sizeof rs, &got, 0)) ||
        got != sizeof rs) {
        return "Error: Windows could not sign " + path;
    }
    seal = EncodeSignature(rs);
    return "";
}

std::string VerifySeal(const std::string& signaturePath, const PublicKey& key)
{
    const std::string sealPath = SealPath(signaturePath);
    Bytes seal;
    if (GetFileAttributesA(sealPath.c_str()) == INVALID_FILE_ATTRIBUTES || !ReadFileBytes(sealPath, seal)) {
        return "Tampering: " + signaturePath + " has no seal (" + sealPath + " is missing)";
    }
    uint8_t rs[2 * P256_BYTES], digest[32];
    if (!DecodeSignature(seal, rs)) return "Tampering: the seal " + sealPath + " is damaged";
    PrivateKey holder = {key, {}};
    Key trusted(holder, false);
    if (!Sha256(nullptr, &signaturePath, digest)) return "Error: Could not read " + signaturePath;
    if (!trusted.open || !Ok(BCryptVerifySignature(trusted.handle, nullptr, digest, sizeof digest, rs, sizeof rs, 0))) {
        return "Tampering: the seal does not verify: " + signaturePath + " or its seal changed since it was sealed, "
               "or another key made the seal";
    }
    return "";
}

std::string PrepareSeal(const char* temporary, const std::string& path, const PrivateKey& key,
                        std::string& sealTemporary)
{
    Bytes seal;
    std::string problem = SignFile(temporary, key, seal);
    if (problem.empty() && !WriteBeside(SealPath(path), seal, sealTemporary)) {
        problem = "Error: Could not write the seal " + SealPath(path);
    }
    return problem;
}

bool WriteBeside(const std::string& path, const Bytes& bytes, std::string& temporary)
{
    char name[MAX_PATH];
    std::FILE* file = MakeTemporaryFileBeside(path.c_str(), name) ? std::fopen(name, "wb") : nullptr;
    if (file == nullptr) return false;
    temporary = name;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && FlushToDisk(file);
    if (std::fclose(file) != 0 || !ok) {
        DeleteFileA(name);
        return false;
    }
    return true;
}
