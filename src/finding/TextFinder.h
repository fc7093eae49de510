#pragma once
// The text criterion of the file search: does a file contain a text? The file is streamed in blocks, never held
// whole, and a match across two blocks is found. Without case, ASCII letters and the letters of the other
// scripts whose capital and small forms are equally long in UTF-8 (Latin, Greek, Cyrillic, ...) match in either
// form; everything else is compared exactly.

#include <QByteArray>
#include <QString>
#include <vector>

class CancelToken;

class TextFinder {
  public:
    enum class Answer { Found, NotFound, Unreadable, Cancelled };

    /// An empty text is found in no file.
    TextFinder(const QString& text, bool matchCase);

    /// Looks for the text in the regular file at path; anything else (a folder, a pipe, a link) is Unreadable.
    /// The token is checked between blocks. Not for two threads at once: the read buffer is kept between files.
    Answer findInFile(const QString& path, const CancelToken& cancel) const;
    /// The same for a file a folder scan has just described as a regular file of size bytes: it is not asked
    /// again, and at most size bytes are read, so a file swapped for something else meanwhile cannot keep the
    /// search reading (a pipe or a folder fails to read and counts as Unreadable).
    Answer findInFile(const QString& path, qint64 size, const CancelToken& cancel) const;
    /// Offset of the first match in bytes, -1 when there is none.
    qsizetype findIn(const char* data, qsizetype size) const;

    /// Bytes read at a time; small values let tests put a match across a block border.
    void setBlockSize(qsizetype bytes) { m_blockSize = bytes > 0 ? bytes : 1; }
    qsizetype length() const { return m_length; }

  private:
    /// The bytes one character of the text may take: its own, and without case its other forms of equal length.
    struct Slot {
        qsizetype offset = 0;
        qsizetype length = 0;
        std::vector<QByteArray> forms;
    };

    bool matchesAt(const char* at) const;
    void anchorAt(qsizetype offset, unsigned char& value, unsigned char& fold, unsigned char& other) const;

    std::vector<Slot> m_slots;
    qsizetype m_length = 0;
    bool m_simple = true; ///< every slot is one byte with at most its ASCII case partner
    QByteArray m_exact;   ///< the text's own bytes
    // The first and last byte's values for the quick filter: a byte matches when (b | fold) == value or
    // b == other.
    unsigned char m_firstValue = 0, m_firstFold = 0, m_firstOther = 0;
    unsigned char m_lastValue = 0, m_lastFold = 0, m_lastOther = 0;
    bool m_matchCase;
    qsizetype m_blockSize = 256 * 1024;
    mutable std::vector<char> m_buffer; ///< kept from file to file; one file is searched at a time
};
