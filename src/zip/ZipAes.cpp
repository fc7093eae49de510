// WinZip AES entries read from their raw bytes; see ZipAes.h.

#include "ZipAes.h"
#include "ZipDetail.h"

#include <algorithm>
#include <cstring>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>
#include <vector>
#include <zlib.h>

namespace zipdetail {

namespace {

constexpr int kVerifierSize = AesCipher::kVerifierSize;
constexpr int kMacSize = AesCipher::kCodeSize;
constexpr int kIterations = 1000;
constexpr int kBlock = 16;
constexpr qint64 kChunk = qint64(256) << 10;

} // namespace

struct AesCipher::State {
    EVP_CIPHER_CTX* cipher = nullptr;
    EVP_MAC* macKind = nullptr;
    EVP_MAC_CTX* mac = nullptr;
    unsigned char counter[kBlock] = {};
    unsigned char keyStream[kBlock] = {};
    int keyStreamUsed = kBlock;
    std::vector<unsigned char> counters;
    std::vector<unsigned char> stream;

    ~State() {
        if (cipher) EVP_CIPHER_CTX_free(cipher);
        if (mac) EVP_MAC_CTX_free(mac);
        if (macKind) EVP_MAC_free(macKind);
    }
};

AesCipher::AesCipher() : d(std::make_unique<State>()) {}
AesCipher::~AesCipher() = default;

AesCipher::Setup AesCipher::start(const QByteArray& password, int strength, const unsigned char* salt,
                                  unsigned char* verifier, bool writing) {
    const int keySize = 8 * (strength + 1);
    std::vector<unsigned char> keys(size_t(2 * keySize + kVerifierSize));
    if (PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()), salt, saltSize(strength), kIterations,
                               int(keys.size()), keys.data()) != 1)
        return Setup::Failed;
    if (writing)
        memcpy(verifier, keys.data() + 2 * keySize, kVerifierSize);
    else if (memcmp(keys.data() + 2 * keySize, verifier, kVerifierSize) != 0)
        return Setup::WrongPassword;
    const EVP_CIPHER* kind = strength == 1 ? EVP_aes_128_ecb() : strength == 2 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    d->cipher = EVP_CIPHER_CTX_new();
    d->macKind = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    d->mac = d->macKind ? EVP_MAC_CTX_new(d->macKind) : nullptr;
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    const bool ready = d->cipher && d->mac && EVP_EncryptInit_ex(d->cipher, kind, nullptr, keys.data(), nullptr) == 1 &&
                       EVP_CIPHER_CTX_set_padding(d->cipher, 0) == 1 &&
                       EVP_MAC_init(d->mac, keys.data() + keySize, size_t(keySize), params) == 1;
    OPENSSL_cleanse(keys.data(), keys.size());
    return ready ? Setup::Ready : Setup::Failed;
}

bool AesCipher::crypt(unsigned char* data, qint64 length) {
    qint64 at = 0;
    while (at < length && d->keyStreamUsed < kBlock)
        data[at++] ^= d->keyStream[d->keyStreamUsed++];
    if (at == length) return true;
    // Whole blocks are enciphered in one call; the last partial block keeps its rest for the next call.
    const qint64 blocks = (length - at + kBlock - 1) / kBlock;
    d->counters.resize(size_t(blocks * kBlock));
    d->stream.resize(d->counters.size());
    for (qint64 b = 0; b < blocks; ++b) {
        for (int i = 0; i < kBlock && ++d->counter[i] == 0; ++i) {
        }
        memcpy(d->counters.data() + b * kBlock, d->counter, kBlock);
    }
    int outLength = 0;
    if (EVP_EncryptUpdate(d->cipher, d->stream.data(), &outLength, d->counters.data(), int(d->counters.size())) != 1 ||
        outLength != int(d->counters.size()))
        return false;
    const qint64 rest = length - at;
    for (qint64 i = 0; i < rest; ++i)
        data[at + i] ^= d->stream[size_t(i)];
    const qint64 tail = rest % kBlock;
    if (tail != 0) {
        memcpy(d->keyStream, d->stream.data() + (blocks - 1) * kBlock, kBlock);
        d->keyStreamUsed = int(tail);
    } else {
        d->keyStreamUsed = kBlock;
    }
    return true;
}

bool AesCipher::authenticate(const unsigned char* data, qint64 length) {
    return EVP_MAC_update(d->mac, data, size_t(length)) == 1;
}

bool AesCipher::finish(unsigned char* code) {
    unsigned char mac[EVP_MAX_MD_SIZE];
    size_t macLength = 0;
    if (EVP_MAC_final(d->mac, mac, &macLength, sizeof(mac)) != 1 || macLength < size_t(kMacSize)) return false;
    memcpy(code, mac, kMacSize);
    return true;
}

QByteArray aesEncipher(const QByteArray& password, const char* data, qint64 length) {
    constexpr int kStrength = 3;
    const int saltSize = AesCipher::saltSize(kStrength);
    QByteArray out(saltSize + kVerifierSize + length + kMacSize, Qt::Uninitialized);
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    AesCipher cipher;
    // A fresh salt for every entry: the same key stream must never encipher two entries.
    if (RAND_bytes(bytes, saltSize) != 1 ||
        cipher.start(password, kStrength, bytes, bytes + saltSize, true) != AesCipher::Setup::Ready)
        return {};
    unsigned char* body = bytes + saltSize + kVerifierSize;
    if (length > 0) memcpy(body, data, size_t(length));
    if (!cipher.crypt(body, length) || !cipher.authenticate(body, length) || !cipher.finish(body + length)) return {};
    return out;
}

bool aesFieldOf(zip_t* zip, zip_uint64_t index, AesField* field) {
    // libzip keeps the 0x9901 extra field to itself, but its stat gives what the field says: the key length as
    // the encryption method and the real compression method. The CRC field tells the variants apart: AE-2 leaves
    // it 0 (an AE-1 entry whose CRC really is 0 is read just as well, its data being authenticated either way).
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_ENCRYPTION_METHOD)) return false;
    switch (st.encryption_method) {
    case ZIP_EM_AES_128:
        field->strength = 1;
        break;
    case ZIP_EM_AES_192:
        field->strength = 2;
        break;
    case ZIP_EM_AES_256:
        field->strength = 3;
        break;
    default:
        return false;
    }
    field->version = (st.valid & ZIP_STAT_CRC) && st.crc != 0 ? 1 : 2;
    field->method = quint16(st.comp_method);
    return true;
}

struct AesEntryReader::State {
    zip_file_t* raw = nullptr;
    AesCipher cipher;
    z_stream inflater{};
    bool inflating = false;
    bool inflateEnded = false;
    bool finished = false;
    AesField field;
    quint64 cipherLeft = 0; // encrypted bytes not yet read
    quint64 expectedSize = 0;
    quint64 produced = 0;
    quint32 expectedCrc = 0;
    uLong crc = crc32(0, nullptr, 0);
    std::vector<char> input; // decrypted deflate data waiting for the inflater

    ~State() {
        if (raw) zip_fclose(raw);
        if (inflating) inflateEnd(&inflater);
    }

    /// Reads exactly length raw bytes; false when the package gives fewer.
    bool readRaw(char* buffer, qint64 length) {
        while (length > 0) {
            const zip_int64_t n = zip_fread(raw, buffer, zip_uint64_t(length));
            if (n <= 0) return false;
            buffer += n;
            length -= n;
        }
        return true;
    }
};

AesEntryReader::AesEntryReader(std::unique_ptr<State> state) : d(std::move(state)) {}
AesEntryReader::~AesEntryReader() = default;

std::unique_ptr<AesEntryReader> AesEntryReader::open(zip_t* zip, zip_uint64_t index, const QByteArray& password,
                                                     Failure* failure, QString* reason) {
    const auto refuse = [&](Failure why, const QString& text) {
        *failure = why;
        *reason = text;
        return std::unique_ptr<AesEntryReader>();
    };
    auto s = std::make_unique<State>();
    if (!aesFieldOf(zip, index, &s->field))
        return refuse(Failure::Unsupported, QStringLiteral("its AES encryption field is missing or unknown"));
    if (s->field.method != ZIP_CM_STORE && s->field.method != ZIP_CM_DEFLATE)
        return refuse(Failure::Unsupported, zipErrorText(ZIP_ER_COMPNOTSUPP));
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, index, 0, &st) != 0) return refuse(Failure::Read, zipErrorText(zip_get_error(zip)));
    const int saltSize = AesCipher::saltSize(s->field.strength);
    const quint64 overhead = quint64(saltSize + kVerifierSize + kMacSize);
    if (st.comp_size < overhead) return refuse(Failure::Damaged, zipErrorText(ZIP_ER_COMPRESSED_DATA));
    s->cipherLeft = st.comp_size - overhead;
    s->expectedSize = st.size;
    s->expectedCrc = st.crc;

    s->raw = zip_fopen_index(zip, index, ZIP_FL_ENCRYPTED);
    if (!s->raw) {
        const QString text = zipErrorText(zip_get_error(zip));
        zip_error_clear(zip);
        return refuse(Failure::Read, text);
    }
    char head[16 + kVerifierSize];
    if (!s->readRaw(head, saltSize + kVerifierSize)) return refuse(Failure::Damaged, zipErrorText(ZIP_ER_EOF));
    auto* salt = reinterpret_cast<unsigned char*>(head);
    switch (s->cipher.start(password, s->field.strength, salt, salt + saltSize, false)) {
    case AesCipher::Setup::Ready:
        break;
    case AesCipher::Setup::WrongPassword:
        return refuse(Failure::WrongPassword, zipErrorText(ZIP_ER_WRONGPASSWD));
    case AesCipher::Setup::Failed:
        return refuse(Failure::Read, QStringLiteral("the decryption cannot be set up"));
    }

    if (s->field.method == ZIP_CM_DEFLATE) {
        if (inflateInit2(&s->inflater, -MAX_WBITS) != Z_OK) return refuse(Failure::Read, zipErrorText(ZIP_ER_MEMORY));
        s->inflating = true;
        s->input.resize(size_t(kChunk));
    }
    return std::unique_ptr<AesEntryReader>(new AesEntryReader(std::move(s)));
}

qint64 AesEntryReader::fail(Failure failure, const QString& reason) {
    m_failure = failure;
    m_reason = reason;
    return -1;
}

qint64 AesEntryReader::readCipher(char* buffer, qint64 length) {
    const qint64 n = qint64(std::min<quint64>(d->cipherLeft, quint64(length)));
    if (n == 0) return 0;
    if (!d->readRaw(buffer, n)) return fail(Failure::Damaged, zipErrorText(ZIP_ER_EOF));
    auto* bytes = reinterpret_cast<unsigned char*>(buffer);
    if (!d->cipher.authenticate(bytes, n) || !d->cipher.crypt(bytes, n))
        return fail(Failure::Read, QStringLiteral("the data cannot be decrypted"));
    d->cipherLeft -= quint64(n);
    return n;
}

bool AesEntryReader::finish() {
    if (d->finished) return true;
    unsigned char mac[kMacSize];
    char stored[kMacSize];
    if (!d->readRaw(stored, kMacSize)) return fail(Failure::Damaged, zipErrorText(ZIP_ER_EOF)), false;
    if (!d->cipher.finish(mac) || CRYPTO_memcmp(mac, stored, kMacSize) != 0)
        return fail(Failure::Damaged, QStringLiteral("the data is damaged (its authentication code does not match)")),
               false;
    if (d->produced != d->expectedSize)
        return fail(Failure::Damaged, QStringLiteral("the data is damaged (its size does not match)")), false;
    if (d->field.version == 1 && quint32(d->crc) != d->expectedCrc)
        return fail(Failure::Damaged, zipErrorText(ZIP_ER_CRC)), false;
    d->finished = true;
    return true;
}

qint64 AesEntryReader::read(char* buffer, qint64 length) {
    if (m_failure != Failure::None) return -1;
    if (d->finished || length <= 0) return 0;
    qint64 n = 0;
    if (!d->inflating) {
        n = readCipher(buffer, length);
        if (n < 0) return -1;
    } else {
        z_stream& z = d->inflater;
        while (n == 0 && !d->inflateEnded) {
            if (z.avail_in == 0) {
                const qint64 got = readCipher(d->input.data(), qint64(d->input.size()));
                if (got < 0) return -1;
                if (got == 0) return fail(Failure::Damaged, zipErrorText(ZIP_ER_COMPRESSED_DATA));
                z.next_in = reinterpret_cast<Bytef*>(d->input.data());
                z.avail_in = uInt(got);
            }
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = uInt(std::min<qint64>(length, qint64(1) << 30));
            const int result = inflate(&z, Z_NO_FLUSH);
            n = qint64(reinterpret_cast<char*>(z.next_out) - buffer);
            if (result == Z_STREAM_END) {
                d->inflateEnded = true;
            } else if (result != Z_OK && !(result == Z_BUF_ERROR && n > 0)) {
                return fail(Failure::Damaged, zipErrorText(ZIP_ER_COMPRESSED_DATA));
            }
        }
        if (d->inflateEnded && n == 0) {
            // Nothing may follow the deflate stream but the authentication code.
            if (z.avail_in != 0 || d->cipherLeft != 0) {
                char rest[256];
                while (d->cipherLeft > 0)
                    if (readCipher(rest, sizeof(rest)) < 0) return -1;
                return fail(Failure::Damaged, zipErrorText(ZIP_ER_COMPRESSED_DATA));
            }
        }
    }
    if (n > 0) {
        d->produced += quint64(n);
        if (d->produced > d->expectedSize)
            return fail(Failure::Damaged, QStringLiteral("the data is damaged (its size does not match)"));
        d->crc = crc32(d->crc, reinterpret_cast<const Bytef*>(buffer), uInt(n));
        return n;
    }
    return finish() ? 0 : -1;
}

} // namespace zipdetail
