#include "seal/key_format.h"

#include <cstring>

namespace {

// id-ecPublicKey (1.2.840.10045.2.1) and prime256v1 (1.2.840.10045.3.1.7).
const Bytes EC_PUBLIC_KEY = {0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01};
const Bytes PRIME256V1 = {0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};

constexpr uint8_t SEQUENCE = 0x30, INTEGER = 0x02, BIT_STRING = 0x03, OCTET_STRING = 0x04, OID = 0x06;
constexpr uint8_t CONTEXT_1 = 0xa1;
constexpr char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes Tlv(uint8_t tag, const Bytes& value)
{
    Bytes out = {tag};
    const size_t n = value.size();
    if (n >= 0x100) {
        out.push_back(0x82);
        out.push_back(static_cast<uint8_t>(n >> 8));
    } else if (n >= 0x80) {
        out.push_back(0x81);
    }
    out.push_back(static_cast<uint8_t>(n));
    Append(out, value);
    return out;
}

Bytes Point(const PublicKey& key)
{
    Bytes point(2 + 2 * P256_BYTES);
    point[1] = 0x04;  // after the count of unused bits (none): an uncompressed point
    std::memcpy(point.data() + 2, key.x, P256_BYTES);
    std::memcpy(point.data() + 2 + P256_BYTES, key.y, P256_BYTES);
    return point;
}

Bytes Algorithm() { Bytes a = Tlv(OID, EC_PUBLIC_KEY); Append(a, Tlv(OID, PRIME256V1)); return Tlv(SEQUENCE, a); }

// A DER reader over one value's contents: every length checked.
struct Der {
    const uint8_t* at;
    const uint8_t* end;

    // The next element's tag and contents; false when it does not fit.
    bool Next(uint8_t& tag, Der& contents)
    {
        if (end - at < 2) return false;
        tag = at[0];
        size_t length = at[1], header = 2;
        if (length == 0x81 || length == 0x82) {
            const size_t bytes = length - 0x80;
            if (static_cast<size_t>(end - at) < 2 + bytes) return false;
            length = bytes == 1 ? at[2] : (static_cast<size_t>(at[2]) << 8) | at[3];
            header += bytes;
        } else if (length >= 0x80) {
            return false;
        }
        if (static_cast<size_t>(end - at) - header < length) return false;
        contents = {at + header, at + header + length};
        at += header + length;
        return true;
    }
    bool Expect(uint8_t wanted, Der& contents)
    {
        uint8_t tag;
        return Next(tag, contents) && tag == wanted;
    }
    bool Is(const Bytes& bytes) const
    {
        return static_cast<size_t>(end - at) == bytes.size() && std::memcmp(at, bytes.data(), bytes.size()) == 0;
    }
    bool Empty() const { return at == end; }
};

// The algorithm of a key: empty when ECDSA P-256, else what it is.
std::string CheckAlgorithm(Der& outer)
{
    Der algorithm, oid, curve;
    if (!outer.Expect(SEQUENCE, algorithm) || !algorithm.Expect(OID, oid)) return "a broken key";
    if (!oid.Is(EC_PUBLIC_KEY)) return "a key that is not ECDSA (RSA, say)";
    if (!algorithm.Expect(OID, curve) || !curve.Is(PRIME256V1)) return "an ECDSA key on another curve than P-256";
    return "";
}

bool ReadPoint(Der point, PublicKey& key)
{
    if (point.end - point.at != 2 + 2 * static_cast<long>(P256_BYTES) || point.at[0] != 0 || point.at[1] != 0x04) {
        return false;
    }
    std::memcpy(key.x, point.at + 2, P256_BYTES);
    std::memcpy(key.y, point.at + 2 + P256_BYTES, P256_BYTES);
    return true;
}

bool Base64Decode(const std::string& text, Bytes& out)
{
    uint32_t bits = 0;
    int count = 0;
    size_t padding = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const char* digit = c != '\0' ? std::strchr(BASE64, c) : nullptr;
        if (digit == nullptr || padding > 0) return false;
        bits = (bits << 6) | static_cast<uint32_t>(digit - BASE64);
        if (++count == 4) {
            for (int shift : {16, 8, 0}) out.push_back(static_cast<uint8_t>(bits >> shift));
            bits = 0, count = 0;
        }
    }
    if (count == 1 || padding > 2 || (count != 0 && count + padding != 4)) return false;
    if (count == 2) out.push_back(static_cast<uint8_t>(bits >> 4));
    if (count == 3) out.push_back(static_cast<uint8_t>(bits >> 10)), out.push_back(static_cast<uint8_t>(bits >> 2));
    return true;
}

// r or s as a DER INTEGER: no leading zero bytes but one before a high bit.
Bytes Integer(const uint8_t* value)
{
    size_t skip = 0;
    while (skip < P256_BYTES - 1 && value[skip] == 0) ++skip;
    Bytes number;
    if (value[skip] & 0x80) number.push_back(0);
    number.insert(number.end(), value + skip, value + P256_BYTES);
    return Tlv(INTEGER, number);
}

bool ReadInteger(Der& from, uint8_t* value)
{
    Der number;
    if (!from.Expect(INTEGER, number) || number.Empty()) return false;
    while (number.end - number.at > 1 && number.at[0] == 0) ++number.at;
    const size_t length = static_cast<size_t>(number.end - number.at);
    if (length > P256_BYTES) return false;
    std::memset(value, 0, P256_BYTES - length);
    std::memcpy(value + P256_BYTES - length, number.at, length);
    return true;
}

}  // namespace

Bytes EncodePublicKey(const PublicKey& key)
{
    Bytes body = Algorithm();
    Append(body, Tlv(BIT_STRING, Point(key)));
    return Tlv(SEQUENCE, body);
}

Bytes EncodePrivateKey(const PrivateKey& key)
{
    Bytes ec = Tlv(INTEGER, {1});
    Append(ec, Tlv(OCTET_STRING, Bytes(key.d, key.d + P256_BYTES)));
    Append(ec, Tlv(CONTEXT_1, Tlv(BIT_STRING, Point(key.publicKey))));
    Bytes body = Tlv(INTEGER, {0});
    Append(body, Algorithm());
    Append(body, Tlv(OCTET_STRING, Tlv(SEQUENCE, ec)));
    return Tlv(SEQUENCE, body);
}

std::string Pem(const std::string& label, const Bytes& der)
{
    std::string base64;
    for (size_t i = 0; i < der.size(); i += 3) {
        const size_t n = der.size() - i < 3 ? der.size() - i : 3;
        const uint32_t bits = (static_cast<uint32_t>(der[i]) << 16) | (n > 1 ? der[i + 1] << 8 : 0) | (n > 2 ? der[i + 2] : 0);
        base64 += BASE64[(bits >> 18) & 63];
        base64 += BASE64[(bits >> 12) & 63];
        base64 += n > 1 ? BASE64[(bits >> 6) & 63] : '=';
        base64 += n > 2 ? BASE64[bits & 63] : '=';
    }
    std::string text = "-----BEGIN " + label + "-----\n";
    for (size_t i = 0; i < base64.size(); i += 64) text += base64.substr(i, 64) + "\n";
    return text + "-----END " + label + "-----\n";
}

std::string ReadKey(const std::string& text, KeyKind& kind, PrivateKey& key)
{
    const size_t begin = text.find("-----BEGIN ");
    const size_t labelEnd = begin == std::string::npos ? begin : text.find("-----", begin + 11);
    if (labelEnd == std::string::npos) return "nothing that is a PEM key";
    const std::string label = text.substr(begin + 11, labelEnd - begin - 11);
    const size_t end = text.find("-----END " + label + "-----", labelEnd);
    if (label != "PUBLIC KEY" && label != "PRIVATE KEY") return "a PEM \"" + label + "\", which is no key this reads";
    Bytes der;
    if (end == std::string::npos || !Base64Decode(text.substr(labelEnd + 5, end - labelEnd - 5), der)) {
        return "a PEM key whose body is broken";
    }
    Der whole = {der.data(), der.data() + der.size()}, outer;
    if (!whole.Expect(SEQUENCE, outer) || !whole.Empty()) return "a PEM key whose body is broken";
    std::memset(&key, 0, sizeof key);
    if (label == "PUBLIC KEY") {
        kind = KeyKind::Public;
        const std::string algorithm = CheckAlgorithm(outer);
        if (!algorithm.empty()) return algorithm;
        Der point;
        return outer.Expect(BIT_STRING, point) && ReadPoint(point, key.publicKey) && outer.Empty()
                   ? ""
                   : "a public key whose point is broken";
    }
    kind = KeyKind::Private;
    Der version, wrapped, ec, ecVersion, secret;
    if (!outer.Expect(INTEGER, version)) return "a PEM key whose body is broken";
    const std::string algorithm = CheckAlgorithm(outer);
    if (!algorithm.empty()) return algorithm;
    if (!outer.Expect(OCTET_STRING, wrapped) || !wrapped.Expect(SEQUENCE, ec) || !ec.Expect(INTEGER, ecVersion) ||
        !ec.Expect(OCTET_STRING, secret) || secret.end - secret.at != static_cast<long>(P256_BYTES)) {
        return "a private key whose body is broken";
    }
    std::memcpy(key.d, secret.at, P256_BYTES);
    // Optional: [0] the curve again, [1] the public point.
    bool hasPoint = false;
    while (!ec.Empty()) {
        uint8_t tag;
        Der field, point;
        if (!ec.Next(tag, field)) return "a private key whose body is broken";
        if (tag == CONTEXT_1) {
            if (!field.Expect(BIT_STRING, point) || !ReadPoint(point, key.publicKey)) return "a private key whose body is broken";
            hasPoint = true;
        }
    }
    return hasPoint ? "" : "a private key without its public half";
}

Bytes EncodeSignature(const uint8_t rs[2 * P256_BYTES])
{
    Bytes body = Integer(rs);
    Append(body, Integer(rs + P256_BYTES));
    return Tlv(SEQUENCE, body);
}

bool DecodeSignature(const Bytes& der, uint8_t rs[2 * P256_BYTES])
{
    Der whole = {der.data(), der.data() + der.size()}, body;
    return whole.Expect(SEQUENCE, body) && whole.Empty() && ReadInteger(body, rs) &&
           ReadInteger(body, rs + P256_BYTES) && body.Empty();
}
