#pragma once
// Reading WinZip AES entries by hand. libzip 1.7 checks the CRC of every AES entry, but the AE-2 variant (what
// 7-Zip and WinZip write for most files) stores no CRC at all: its integrity check is the HMAC-SHA1 code after the
// data. Such entries are read here from their raw, still encrypted bytes: password verifier, AES-CTR with the
// WinZip little-endian counter, HMAC-SHA1 authentication, then inflate (or plain copy for stored entries).

#include <QByteArray>
#include <QString>
#include <memory>
#include <zip.h>

namespace zipdetail {

/// What the WinZip AES extra field (0x9901) of an entry says.
struct AesField {
    int version = 0;    ///< 1 = AE-1 (CRC kept and checked), 2 = AE-2 (CRC field 0)
    int strength = 0;   ///< 1, 2, 3 for AES-128, -192, -256
    quint16 method = 0; ///< the real compression method
};

/// The AES facts of entry index; false when it is not AES encrypted.
bool aesFieldOf(zip_t* zip, zip_uint64_t index, AesField* field);

/// The WinZip AES cipher of one entry: the keys derived from the password and the entry's salt (PBKDF2-HMAC-SHA1,
/// 1000 rounds), the data XORed with AES of WinZip's little-endian counter that starts at 1, and HMAC-SHA1 over
/// the enciphered bytes, of which the first 10 bytes follow the data.
class AesCipher {
  public:
    enum class Setup { Ready, WrongPassword, Failed };
    static constexpr int kVerifierSize = 2;
    static constexpr int kCodeSize = 10;
    static int saltSize(int strength) { return 4 * (strength + 1); }

    AesCipher();
    ~AesCipher();
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;

    /// Derives the keys for strength (1, 2, 3 for AES-128, -192, -256) from the password and salt. When reading,
    /// verifier holds the entry's two bytes and a mismatch is WrongPassword; when writing, the entry's two bytes
    /// are put there.
    Setup start(const QByteArray& password, int strength, const unsigned char* salt, unsigned char* verifier,
                bool writing);
    /// XORs the key stream into data (enciphers and deciphers alike).
    bool crypt(unsigned char* data, qint64 length);
    /// Adds enciphered bytes to the authentication code.
    bool authenticate(const unsigned char* data, qint64 length);
    /// The authentication code of everything authenticated: kCodeSize bytes into code.
    bool finish(unsigned char* code);

  private:
    struct State;
    std::unique_ptr<State> d;
};

/// An entry's data enciphered as WinZip AES-256 writes it: a fresh salt, the password verifier, the data and the
/// authentication code. Empty when the cipher cannot be set up.
QByteArray aesEncipher(const QByteArray& password, const char* data, qint64 length);

/// Reads an AES entry's plain bytes. Each read gives decoded bytes; 0 at the end, once the authentication code,
/// the size and (for AE-1) the CRC have been checked.
class AesEntryReader {
  public:
    enum class Failure { None, WrongPassword, Damaged, Unsupported, Read };

    /// Opens the entry's raw bytes and checks the password verifier. Null on failure, with *failure and *reason.
    static std::unique_ptr<AesEntryReader> open(zip_t* zip, zip_uint64_t index, const QByteArray& password,
                                                Failure* failure, QString* reason);
    ~AesEntryReader();
    AesEntryReader(const AesEntryReader&) = delete;
    AesEntryReader& operator=(const AesEntryReader&) = delete;

    /// Up to length decoded bytes, 0 at the verified end, -1 on failure (see failure() and reason()).
    qint64 read(char* buffer, qint64 length);
    Failure failure() const { return m_failure; }
    QString reason() const { return m_reason; }

  private:
    struct State;
    explicit AesEntryReader(std::unique_ptr<State> state);
    qint64 fail(Failure failure, const QString& reason);
    qint64 readCipher(char* buffer, qint64 length); // raw bytes decrypted and authenticated as they pass
    bool finish();

    std::unique_ptr<State> d;
    Failure m_failure = Failure::None;
    QString m_reason;
};

} // namespace zipdetail
