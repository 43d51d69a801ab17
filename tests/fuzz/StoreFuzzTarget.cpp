// Hostile combination files and inputs against the real store.
//
// An input is a small program. Its first bytes build a combination file (a
// base layout, then edits: length bytes, overwritten bytes, moved, duplicated
// or cut records, padding); the rest is a script of lookups, assignments,
// hand edits on disk, permission changes, deletions and reloads. Every step
// runs against the store and against a plain model of the file kept here, and
// the two must agree byte for byte: lookups give the model's binding,
// assignments rebuild exactly the matching records (each field within its
// width, length byte 175), a successful save leaves a whole file of the
// model's bytes and no temporary file, and a refused one leaves the file and
// the table as they were. A damaged file (the wrong size, records out of
// place after bytes typed in or deleted, length bytes that hide a record's
// end) must say so when loaded, and a save mends it: the file whole again,
// every binding that read soundly at its place kept, and the damaged file
// kept beside it byte for byte.
//
// The table may reach the file through a chain of links (which must stay
// links), a killed save's temporary file may lie beside it (the next save
// removes it) next to files of the user's that look like one (they stay),
// and, when the fuzzer runs as root, a save may run as another user in a
// folder that refuses it new files, so that the file is written in place.
// Every save keeps the file's owner, group and mode.

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace Record = CombinationRecord;

constexpr qsizetype FileSize = CombinationTable::FileSize;
constexpr int RecordCount = CombinationTable::RecordCount;
constexpr int RecordSize = Record::Size;
constexpr int MaxScriptSteps = 48;
constexpr int MaxSaves = 4;

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "store fuzz: %s %s\n", what, qPrintable(detail));
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition))                                                                          \
            Fail(what, QStringLiteral(#condition));                                                \
    } while (false)

// Reads the input front to back; past its end every byte is zero, so any
// input is a complete program.
class Input final {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_position >= m_size; }
    uint8_t Byte() { return AtEnd() ? 0 : m_data[m_position++]; }
    uint32_t Number(int bytes) {
        uint32_t n = 0;
        for (int i = 0; i < bytes; ++i)
            n = (n << 8) | Byte();
        return n;
    }
    QByteArray Bytes(int count) {
        QByteArray bytes;
        for (int i = 0; i < count && !AtEnd(); ++i)
            bytes.append(char(Byte()));
        return bytes;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

// --- The model: the file format read and written independently of the store.

struct FieldSpan {
    int offset;
    int width;
};
constexpr FieldSpan Fields[5] = {{1, 15}, {16, 15}, {31, 15}, {46, 30}, {76, 100}};

QByteArrayView TrimBlanks(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && uint8_t(text[begin]) <= 32)
        ++begin;
    while (end > begin && uint8_t(text[end - 1]) <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

QByteArrayView FieldOf(const char* record, int field) {
    const int length = std::min<int>(uint8_t(record[0]), 175);
    const FieldSpan span = Fields[field];
    const int end = std::min(span.offset + span.width, length + 1);
    if (end <= span.offset)
        return {};
    return TrimBlanks(QByteArrayView(record + span.offset, end - span.offset));
}

void BuildRecord(char* out, const QByteArray (&texts)[5]) {
    out[0] = char(175);
    for (int f = 0; f < 5; ++f) {
        const FieldSpan span = Fields[f];
        if (texts[f].size() > span.width)
            Fail("a record would be built with a field longer than its width");
        const qsizetype pad = span.width - texts[f].size();
        std::memset(out + span.offset, ' ', pad);
        std::memcpy(out + span.offset + pad, texts[f].constData(), texts[f].size());
    }
}

const QByteArray& DefaultFile() {
    static const QByteArray file = [] {
        QByteArray bytes(FileSize, '\0');
        int n = 0;
        for (int a = 0; a < 23; ++a)
            for (int b = 0; b < 23; ++b)
                for (int c = 0; c < 23; ++c)
                    BuildRecord(bytes.data() + qsizetype(n++) * RecordSize,
                                {ButtonCatalogue::Names[a], ButtonCatalogue::Names[b],
                                 ButtonCatalogue::Names[c], "|", "|"});
        return bytes;
    }();
    return file;
}

bool Matches(const char* record, const QByteArray (&values)[3]) {
    for (int s = 0; s < 3; ++s) {
        if (FieldOf(record, s) != values[s])
            return false;
    }
    return true;
}

// The catalogue entry a trimmed socket field names, or -1.
int EntryNamed(QByteArrayView value) {
    for (int i = 0; i < 23; ++i) {
        if (value == QByteArrayView(ButtonCatalogue::Names[i]))
            return i;
    }
    return -1;
}

// The record number of the combination a record at bytes[at] holds, when it
// reads as one: a length byte that covers its socket fields, each a button
// name or blank.
int CombinationAt(QByteArrayView bytes, qsizetype at) {
    if (at + RecordSize > bytes.size() || uint8_t(bytes[at]) < 45)
        return -1;
    int number = 0;
    for (int s = 0; s < 3; ++s) {
        const int entry = EntryNamed(FieldOf(bytes.data() + at, s));
        if (entry < 0)
            return -1;
        number = number * 23 + entry;
    }
    return number;
}

// A damaged file: the wrong size, a record that does not read at its place,
// or a length byte that hides a record's end.
bool Damaged(const QByteArray& disk) {
    if (disk.size() != FileSize)
        return true;
    for (int n = 0; n < RecordCount; ++n) {
        const qsizetype at = qsizetype(n) * RecordSize;
        if (CombinationAt(disk, at) < 0 || uint8_t(disk[at]) < 175)
            return true;
    }
    return false;
}

// A record at its place that reads, followed by one that does or by the
// whole file's end: what a mend keeps as it reads.
bool Sound(const QByteArray& file, int n) {
    const qsizetype next = qsizetype(n + 1) * RecordSize;
    if (CombinationAt(file, next - RecordSize) < 0)
        return false;
    return next + RecordSize <= file.size() ? CombinationAt(file, next) >= 0
                                            : next == FileSize && file.size() == FileSize;
}

QByteArray Shown(QByteArrayView field) {
    return field == "|" ? QByteArray() : field.toByteArray();
}

struct Model {
    QByteArray table = QByteArray(FileSize, '\0');
    // The whole file as the store last loaded or saved it, and whether it
    // was damaged then.
    QByteArray synced;
    bool damaged = false;

    // What a load makes of the file: its whole records; what a short file
    // lacks is a new file's, and of a record it cuts, the fields it holds
    // whole before the information or the path.
    void Adopt(const QByteArray& disk) {
        table = DefaultFile();
        const qsizetype whole = std::min(disk.size() - disk.size() % RecordSize, FileSize);
        std::memcpy(table.data(), disk.constData(), size_t(whole));
        if (whole < FileSize && disk.size() > whole) {
            const qsizetype cut = disk.size() - whole;
            const qsizetype kept = cut <= 46 ? 0 : cut <= 76 ? 46 : 76;
            std::memcpy(table.data() + whole, disk.constData() + whole, size_t(kept));
        }
        synced = disk;
        damaged = Damaged(disk);
    }
};

// --- Inputs: texts and combinations of every kind.

QString TextFrom(Input& in) {
    static const char16_t wide[] = {0x00e9, 0x20ac, 0xfffd, 0x00a0, 0x0000};
    switch (in.Byte() % 7) {
    case 0: // raw bytes, valid UTF-8 or not
        return QString::fromUtf8(in.Bytes(in.Byte() % 128));
    case 1: { // one byte repeated: the widths and one past them, control characters
        const int count = in.Byte() % 128;
        const char byte = char(in.Byte() % 128);
        return QString::fromLatin1(QByteArray(count, byte));
    }
    case 2: { // multi-byte characters, to cross a width inside a character
        const int count = in.Byte() % 64;
        const uint8_t pick = in.Byte();
        QString text;
        for (int i = 0; i < count; ++i) {
            if (pick % 6 == 5)
                text.append(QString::fromUtf8("\xf0\x9f\x98\x80")); // four bytes
            else
                text.append(QChar(wide[pick % 6]));
        }
        const int lead = in.Byte() % 4;
        return QString::fromLatin1(in.Bytes(lead)) + text;
    }
    case 3: { // raw UTF-16 units, lone surrogates included
        QString text;
        const int count = in.Byte() % 48;
        for (int i = 0; i < count; ++i)
            text.append(QChar(char16_t(in.Number(2))));
        return text;
    }
    case 4:
        return {};
    case 5: { // a catalogue name wrapped in blanks and control characters
        const QString name = ButtonCatalogue::ButtonName(in.Byte() % 23);
        QByteArray wrap[2];
        for (QByteArray& blanks : wrap) {
            const int count = in.Byte() % 4;
            blanks = QByteArray(count, char(in.Byte() % 33));
        }
        return QString::fromLatin1(wrap[0]) + name + QString::fromLatin1(wrap[1]);
    }
    default: // Latin-1 bytes as characters: non-ASCII, two bytes each when stored
        return QString::fromLatin1(in.Bytes(in.Byte() % 64));
    }
}

Combination CombinationFrom(Input& in) {
    Combination combination;
    for (QString& value : combination) {
        const uint8_t pick = in.Byte();
        value = pick < 176 ? ButtonCatalogue::ButtonName(pick % 23) : TextFrom(in);
    }
    return combination;
}

// --- The file on disk.

class Disk final {
public:
    explicit Disk(QString path) : m_path(std::move(path)) {}
    const QString& Path() const { return m_path; }
    bool Exists() const { return QFileInfo::exists(m_path); }

    std::optional<QByteArray> Read() const {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }
    void Write(const QByteArray& bytes) {
        const bool wasReadOnly = ReadOnly();
        SetReadOnly(false);
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            Fail("cannot write the combination file");
        file.close();
        SetReadOnly(wasReadOnly);
    }
    bool ReadOnly() const {
        struct stat st {};
        return ::stat(QFile::encodeName(m_path).constData(), &st) == 0 &&
               (st.st_mode & S_IWUSR) == 0;
    }
    void SetReadOnly(bool readOnly) {
        if (Exists())
            ::chmod(QFile::encodeName(m_path).constData(), readOnly ? 0444 : 0644);
    }
    void Remove() {
        SetReadOnly(false);
        QFile::remove(m_path);
    }
    // Everything in the directory but the file itself, its lock file (made
    // once, kept for good) and the user's own files: temporary files of saves
    // that were not finished.
    QStringList Strays() const {
        const QFileInfo info(m_path);
        QStringList names = info.dir().entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeAll(info.fileName());
        names.removeAll('.' + info.fileName() + QStringLiteral(".lock"));
        for (const QString& name : UserFiles())
            names.removeAll(name);
        for (const QString& name : Copies())
            names.removeAll(name);
        return names;
    }
    // Damaged files that a mend kept beside the file.
    QStringList Copies() const {
        const QFileInfo info(m_path);
        return info.dir().entryList({info.fileName() + QStringLiteral(".damaged-*")},
                                    QDir::Files | QDir::Hidden | QDir::System);
    }
    QByteArray ReadBeside(const QString& name) const {
        QFile file(Beside(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void RemoveBeside(const QString& name) { QFile::remove(Beside(name)); }
    // Files of the user's named much like a save's temporary file.
    static QStringList UserFiles() {
        return {QStringLiteral(".TrinodeRun.cmb.saving-user"),
                QStringLiteral("TrinodeRun.cmb.saving-abcdef"),
                QStringLiteral(".TrinodeRun.cmb.saving-ABCDEFG")};
    }
    QString Beside(const QString& name) const { return QFileInfo(m_path).dir().filePath(name); }
    void PlantLeftovers() {
        for (const QString& name : UserFiles() + QStringList{".TrinodeRun.cmb.saving-Killed"}) {
            QFile file(Beside(name));
            if (!file.open(QIODevice::WriteOnly) || file.write(name.toUtf8()) != name.size())
                Fail("cannot plant a file");
        }
    }
    bool UserFilesIntact() const {
        for (const QString& name : UserFiles()) {
            QFile file(Beside(name));
            if (file.exists() &&
                (!file.open(QIODevice::ReadOnly) || file.readAll() != name.toUtf8()))
                return false;
        }
        return true;
    }
    // The path the table is given: the file, or one or two links to it,
    // kept in a folder of their own.
    QString PathThrough(int links) {
        const QDir dir = QFileInfo(m_path).dir();
        dir.mkpath(QStringLiteral("links/mid"));
        if (!QFileInfo(dir.filePath(QStringLiteral("links/one"))).isSymLink() &&
            (!QFile::link(QStringLiteral("../TrinodeRun.cmb"),
                          dir.filePath(QStringLiteral("links/one"))) ||
             !QFile::link(QStringLiteral("../../TrinodeRun.cmb"),
                          dir.filePath(QStringLiteral("links/mid/two"))) ||
             !QFile::link(QStringLiteral("mid/two"), dir.filePath(QStringLiteral("links/chain")))))
            Fail("cannot make the links");
        switch (links % 3) {
        case 1:
            return dir.filePath(QStringLiteral("links/one"));
        case 2:
            return dir.filePath(QStringLiteral("links/chain"));
        default:
            return m_path;
        }
    }
    bool LinksIntact() const {
        const QDir dir = QFileInfo(m_path).dir();
        for (const char* name : {"links/one", "links/chain", "links/mid/two"}) {
            const QFileInfo link(dir.filePath(QLatin1String(name)));
            if (link.exists() && !link.isSymLink())
                return false;
        }
        return true;
    }
    std::optional<struct stat> Status() const {
        struct stat st {};
        if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
            return std::nullopt;
        return st;
    }
    void GiveTo(uid_t user) {
        if (Exists() && ::chown(QFile::encodeName(m_path).constData(), user, user) != 0)
            Fail("cannot give the file away");
    }
    void Clear() {
        Remove();
        const QDir dir = QFileInfo(m_path).dir();
        for (const QString& name : Strays() + UserFiles() + Copies())
            QFile::remove(dir.filePath(name));
    }

private:
    QString m_path;
};

// Root can take another user's part: an unused uid, for whom the folder
// refuses new files (0 when the fuzzer does not run as root).
uid_t OtherUser() {
    static const uid_t user = ::geteuid() == 0 ? 61999 : 0;
    return user;
}

// Runs action as the other user, when there is one.
template <class Action> void AsOtherUser(Action action) {
    if (::setegid(OtherUser()) != 0 || ::seteuid(OtherUser()) != 0)
        Fail("cannot become the other user");
    struct Back {
        ~Back() {
            if (::seteuid(0) != 0 || ::setegid(0) != 0)
                Fail("cannot become root again");
        }
    } back;
    action();
}

Disk& TheDisk() {
    static const auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        Fail("no temporary directory");
    // The other user may pass through, and create nothing.
    ::chmod(QFile::encodeName(dir->path()).constData(), 0755);
    static Disk disk(dir->filePath(QStringLiteral("TrinodeRun.cmb")));
    return disk;
}

// --- Building and editing a file's bytes.

int RecordFrom(Input& in) {
    return int(in.Number(2) % RecordCount);
}

void Edit(QByteArray& file, Input& in) {
    const auto recordAt = [&file](int number) -> char* {
        const qsizetype offset = qsizetype(number) * RecordSize;
        return offset + RecordSize <= file.size() ? file.data() + offset : nullptr;
    };
    switch (in.Byte() % 10) {
    case 8: { // bytes typed in, anywhere: everything after them moves on
        const qsizetype offset = in.Number(3) % (file.size() + 1);
        file.insert(offset, in.Bytes(1 + in.Byte() % 4));
        break;
    }
    case 9: // bytes deleted, anywhere: everything after them moves back
        if (!file.isEmpty())
            file.remove(in.Number(3) % file.size(), 1 + in.Byte() % 4);
        break;
    case 0: // a length byte of any value
        if (char* record = recordAt(RecordFrom(in)))
            record[0] = char(in.Byte());
        break;
    case 1: { // any bytes anywhere
        const qsizetype offset = file.isEmpty() ? 0 : in.Number(3) % file.size();
        const QByteArray bytes = in.Bytes(in.Byte() % 64);
        for (qsizetype i = 0; i < bytes.size() && offset + i < file.size(); ++i)
            file[offset + i] = bytes[i];
        break;
    }
    case 2: { // a record duplicated over another
        char* from = recordAt(RecordFrom(in));
        char* to = recordAt(RecordFrom(in));
        if (from && to)
            std::memmove(to, from, RecordSize);
        break;
    }
    case 3: { // two records moved
        char* a = recordAt(RecordFrom(in));
        char* b = recordAt(RecordFrom(in));
        if (a && b && a != b)
            std::swap_ranges(a, a + RecordSize, b);
        break;
    }
    case 4: // cut short, possibly inside a record
        file.truncate(in.Number(3) % (file.size() + 1));
        break;
    case 5: { // bytes beyond the last record
        const int count = in.Byte();
        file.append(QByteArray(count, char(in.Byte())));
        break;
    }
    case 6: { // a field written by hand: any text, right-justified, spilling over
        char* record = recordAt(RecordFrom(in));
        const FieldSpan span = Fields[in.Byte() % 5];
        const QByteArray text = Record::Encode(TextFrom(in));
        const char pad = char(in.Byte() % 33);
        if (!record)
            break;
        // Right-justified when it fits, else spilling into the fields after it.
        const qsizetype start =
            text.size() <= span.width ? span.offset + span.width - text.size() : span.offset;
        std::memset(record + span.offset, pad, span.width);
        for (qsizetype i = 0; i < text.size() && start + i < RecordSize; ++i)
            record[start + i] = text[i];
        break;
    }
    default: { // padding of any byte over part of a record
        char* record = recordAt(RecordFrom(in));
        const int from = in.Byte() % RecordSize;
        const int length = in.Byte() % (RecordSize - from + 1);
        const char fill = char(in.Byte());
        if (record)
            std::memset(record + from, fill, length);
        break;
    }
    }
}

// nullopt: no file at all.
std::optional<QByteArray> FileFrom(Input& in) {
    QByteArray file;
    switch (in.Byte() % 5) {
    case 0:
        file = DefaultFile();
        break;
    case 1:
        file = QByteArray(FileSize, '\0');
        break;
    case 2:
        break;
    case 3:
        file = in.Bytes(int(in.Number(2)));
        break;
    default:
        return std::nullopt;
    }
    const int edits = in.Byte() % 16;
    for (int i = 0; i < edits; ++i)
        Edit(file, in);
    return file;
}

// --- Running one step against the store and the model.

class Run final {
public:
    Run(Disk& disk, int links) : m_disk(disk), m_table(disk.PathThrough(links)) {}

    void Start(Input& in) {
        if (const std::optional<QByteArray> file = FileFrom(in)) {
            m_disk.Write(*file);
            Load();
        } else {
            m_table.CreateDefaultFile();
            m_model.table = DefaultFile();
            m_model.synced = DefaultFile();
            ExpectSaved();
        }
    }

    void Step(Input& in) {
        switch (in.Byte() % 12) {
        case 10:
            m_disk.PlantLeftovers();
            break;
        case 11: // the file is now another user's, whose saves are written in place
            if (OtherUser() != 0) {
                m_disk.GiveTo(OtherUser());
                m_asOther = !m_asOther;
            }
            break;
        case 0:
        case 1:
        case 2:
            Find(CombinationFrom(in));
            break;
        case 3:
        case 4:
        case 5: {
            const Combination combination = CombinationFrom(in);
            const QString info = TextFrom(in);
            const QString path = TextFrom(in);
            if (m_saves++ < MaxSaves)
                Assign(combination, info, path);
            break;
        }
        case 6: { // a hand edit while the program runs
            QByteArray file = m_disk.Read().value_or(QByteArray());
            Edit(file, in);
            m_disk.Write(file);
            break;
        }
        case 7:
            m_disk.SetReadOnly(!m_disk.ReadOnly());
            break;
        case 8:
            m_disk.Remove();
            break;
        default:
            Load();
            break;
        }
        FUZZ_CHECK(m_table.Bytes() == m_model.table, "the table differs from the model");
    }

private:
    void Load() {
        const std::optional<QByteArray> disk = m_disk.Read();
        if (!disk) {
            ExpectFileError(FileError::FileNotFound, [&] { m_table.LoadFile(); });
            return;
        }
        m_model.Adopt(*disk);
        try {
            m_table.LoadFile();
            FUZZ_CHECK(!m_model.damaged, "a damaged file loaded without a word");
        } catch (const FileError& error) {
            FUZZ_CHECK(m_model.damaged &&
                           (error.Code() == FileError::ReadBeyondEnd) == (disk->size() < FileSize),
                       "a load raised the wrong file error");
        } catch (const TrinodeError& error) {
            FUZZ_CHECK(m_model.damaged && error.Message().contains(" is damaged: "),
                       "a load raised where the model expected none");
        }
    }

    void Find(const Combination& combination) {
        QByteArray values[3];
        for (int s = 0; s < 3; ++s)
            values[s] = TrimBlanks(Record::Encode(combination[s])).toByteArray();
        Binding expected{CombinationTable::NotFoundText, QString()};
        for (int i = 0; i < RecordCount; ++i) {
            const char* record = m_model.table.constData() + qsizetype(i) * RecordSize;
            if (Matches(record, values)) {
                const auto shown = [](QByteArrayView field) {
                    return field == "|" ? QString() : Record::Decode(field);
                };
                expected = {shown(FieldOf(record, 3)), shown(FieldOf(record, 4))};
                break;
            }
        }
        FUZZ_CHECK(m_table.FindCombination(combination) == expected,
                   "a lookup differs from the model");
    }

    void Assign(const Combination& combination, const QString& info, const QString& path) {
        const std::optional<QByteArray> before = m_disk.Read();
        const QByteArray infoBytes = Record::Encode(info);
        const QByteArray pathBytes = Record::Encode(path);
        NoProgress progress;
        const bool asOther = m_asOther && m_disk.Status() && m_disk.Status()->st_uid == OtherUser();
        const auto assign = [&] {
            if (asOther)
                AsOtherUser([&] { m_table.AssignCombination(combination, info, path, progress); });
            else
                m_table.AssignCombination(combination, info, path, progress);
        };
        // Refused before anything is read: the table stays as it is.
        QString refusal = RefusalOf(combination, infoBytes, pathBytes);
        if (!refusal.isEmpty()) {
            ExpectRefused(assign, refusal, before);
            return;
        }
        // The file the save builds on: the table, or what is on the disk
        // when that changed or was damaged; mended first when it is
        // damaged, or holds no record for the combination.
        QByteArray base = m_model.table;
        const bool reread = before && (m_model.damaged || *before != m_model.synced);
        bool mend = reread && Damaged(*before);
        if (reread && !mend) {
            m_model.Adopt(*before);
            base = m_model.table;
        }
        mend = mend || (IsButtons(combination) && !HasRecord(base, combination));
        if (refusal.isEmpty() && mend && !IsButtons(combination))
            refusal = m_table.FilePath() + QStringLiteral(" is damaged: ");
        else if (refusal.isEmpty() && mend && before && asOther)
            refusal = QStringLiteral("File access denied: ");
        if (!refusal.isEmpty()) {
            ExpectRefused(assign, refusal, before);
            return;
        }
        const std::optional<struct stat> status = m_disk.Status();
        try {
            assign();
        } catch (const TrinodeError& error) {
            Fail("an assignment failed", error.Message());
        }
        if (mend)
            ExpectMended(before ? *before : base, bool(before), combination, infoBytes, pathBytes);
        else
            m_model.table = Assigned(base, combination, infoBytes, pathBytes);
        m_model.synced = m_model.table;
        m_model.damaged = false;
        ExpectSaved(asOther);
        const std::optional<struct stat> now = m_disk.Status();
        if (status) {
            FUZZ_CHECK(now->st_uid == status->st_uid && now->st_gid == status->st_gid &&
                           now->st_mode == status->st_mode,
                       "a save changed the file's owner, group or mode");
            FUZZ_CHECK(!asOther || now->st_ino == status->st_ino,
                       "a save in a folder that refuses new files replaced the file");
        }
    }

    static bool IsButtons(const Combination& combination) {
        return bool(ButtonCatalogue::RecordNumber(combination));
    }

    static bool HasRecord(const QByteArray& table, const Combination& combination) {
        QByteArray values[3];
        for (int s = 0; s < 3; ++s)
            values[s] = TrimBlanks(Record::Encode(combination[s])).toByteArray();
        for (int i = 0; i < RecordCount; ++i) {
            if (Matches(table.constData() + qsizetype(i) * RecordSize, values))
                return true;
        }
        return false;
    }

    // A mended file: whole, every record of its own combination at its place
    // as a new file has it, the bound one bound, every combination whose
    // first record read soundly at its place as it read, and the damaged
    // file kept beside it byte for byte.
    void ExpectMended(const QByteArray& damaged, bool kept, const Combination& combination,
                      const QByteArray& infoBytes, const QByteArray& pathBytes) {
        const std::optional<QByteArray> disk = m_disk.Read();
        FUZZ_CHECK(disk && disk->size() == FileSize, "a mended file is not whole");
        const QStringList copies = m_disk.Copies();
        FUZZ_CHECK(copies.size() == (kept ? 1 : 0) &&
                       (!kept || m_disk.ReadBeside(copies[0]) == damaged),
                   "a mend did not keep the damaged file beside it");
        if (kept)
            m_disk.RemoveBeside(copies[0]);
        const int bound = *ButtonCatalogue::RecordNumber(combination);
        std::vector<bool> seen(RecordCount, false);
        for (int n = 0; n < damaged.size() / RecordSize && n < RecordCount; ++n) {
            if (!Sound(damaged, n))
                continue;
            const int c = CombinationAt(damaged, qsizetype(n) * RecordSize);
            const bool first = !seen[size_t(c)];
            seen[size_t(c)] = true;
            if (!first || c == bound)
                continue;
            const char* was = damaged.constData() + qsizetype(n) * RecordSize;
            const char* now = disk->constData() + qsizetype(c) * RecordSize;
            FUZZ_CHECK(Shown(FieldOf(was, 3)) == Shown(FieldOf(now, 3)) &&
                           Shown(FieldOf(was, 4)) == Shown(FieldOf(now, 4)),
                       "a mend lost a binding that read");
        }
        for (int n = 0; n < RecordCount; ++n) {
            const char* now = disk->constData() + qsizetype(n) * RecordSize;
            FUZZ_CHECK(uint8_t(now[0]) == 175 &&
                           std::memcmp(now + 1,
                                       DefaultFile().constData() + qsizetype(n) * RecordSize + 1,
                                       45) == 0,
                       "a mended record is not its combination's, at its place");
        }
        const char* mine = disk->constData() + qsizetype(bound) * RecordSize;
        FUZZ_CHECK(
            FieldOf(mine, 3) == TrimBlanks(infoBytes.isEmpty() ? QByteArray("|") : infoBytes) &&
                FieldOf(mine, 4) == TrimBlanks(pathBytes.isEmpty() ? QByteArray("|") : pathBytes),
            "a mended file does not hold what was bound");
        m_model.table = *disk;
    }

    // What an assignment of these bytes is refused with before anything
    // happens, if it is.
    QString RefusalOf(const Combination& combination, const QByteArray& infoBytes,
                      const QByteArray& pathBytes) {
        if (infoBytes.size() > 30)
            return QStringLiteral("The information takes %1 bytes, more than the 30 that a "
                                  "shortcut can hold")
                .arg(infoBytes.size());
        if (pathBytes.size() > 100)
            return QStringLiteral("The path takes %1 bytes, more than the 100 that a shortcut "
                                  "can hold")
                .arg(pathBytes.size());
        if (pathBytes.contains('\0'))
            return QStringLiteral("The path holds a NUL byte, which no file name can hold");
        bool fits = true;
        for (const QString& value : combination)
            fits = fits && TrimBlanks(Record::Encode(value)).size() <= 15;
        if (!fits || (!IsButtons(combination) && !HasRecord(m_model.table, combination)))
            return QStringLiteral("%1 holds no record for %2, which names no button; nothing "
                                  "was written")
                .arg(m_table.FilePath(), ButtonCatalogue::Spoken(combination));
        if (m_disk.ReadOnly())
            return FileError::MessageFor(FileError::AccessDenied);
        return {};
    }

    template <class Action>
    void ExpectRefused(Action assign, const QString& refusal,
                       const std::optional<QByteArray>& before) {
        const QStringList strays = m_disk.Strays();
        try {
            assign();
        } catch (const TrinodeError& error) {
            if (!error.Message().startsWith(refusal))
                Fail("an assignment was refused with the wrong message",
                     error.Message() + QStringLiteral(" instead of ") + refusal);
            FUZZ_CHECK(m_disk.Read() == before, "a refused assignment changed the file");
            FUZZ_CHECK(m_disk.Copies().isEmpty(), "a refused assignment kept a copy");
            for (const QString& name : m_disk.Strays())
                FUZZ_CHECK(strays.contains(name), "a refused save left a temporary file");
            return;
        }
        Fail("an assignment was not refused", refusal);
    }

    // The model's table with every record of the combination rebuilt.
    static QByteArray Assigned(QByteArray table, const Combination& combination,
                               const QByteArray& infoBytes, const QByteArray& pathBytes) {
        QByteArray values[3];
        for (int s = 0; s < 3; ++s)
            values[s] = TrimBlanks(Record::Encode(combination[s])).toByteArray();
        const QByteArray stored[2] = {infoBytes.isEmpty() ? QByteArray("|") : infoBytes,
                                      pathBytes.isEmpty() ? QByteArray("|") : pathBytes};
        for (int i = 0; i < RecordCount; ++i) {
            char* record = table.data() + qsizetype(i) * RecordSize;
            if (Matches(record, values))
                BuildRecord(record,
                            {FieldOf(record, 0).toByteArray(), FieldOf(record, 1).toByteArray(),
                             FieldOf(record, 2).toByteArray(), stored[0], stored[1]});
        }
        return table;
    }

    void ExpectSaved(bool inPlace = false) {
        const std::optional<QByteArray> disk = m_disk.Read();
        FUZZ_CHECK(disk && disk->size() == FileSize, "a saved file is not 2,141,392 bytes");
        FUZZ_CHECK(*disk == m_model.table, "a saved file differs from the model");
        // A user whose folder refuses new files cannot remove files from it
        // either: a killed save's file stays, and a new one is never made.
        QStringList strays = m_disk.Strays();
        if (inPlace)
            strays.removeAll(QStringLiteral(".TrinodeRun.cmb.saving-Killed"));
        if (!strays.isEmpty())
            Fail("a save left a temporary file:", strays.join(u' '));
        FUZZ_CHECK(m_disk.UserFilesIntact(), "a save touched the user's files");
        FUZZ_CHECK(m_disk.LinksIntact(), "a save replaced a link");
    }

    template <typename Action> void ExpectFileError(std::optional<int> code, Action action) {
        try {
            action();
        } catch (const FileError& error) {
            if (!code || error.Code() != *code)
                Fail("unexpected file error", error.Message());
            return;
        }
        FUZZ_CHECK(!code, "an expected file error was not raised");
    }

    Disk& m_disk;
    CombinationTable m_table;
    Model m_model;
    int m_saves = 0;
    bool m_asOther = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Disk& disk = TheDisk();
    disk.Clear();
    Input in(data, size);
    // The input's length picks the path, so that every input of the corpus
    // keeps its meaning.
    Run run(disk, int(size % 3));
    try {
        run.Start(in);
        for (int step = 0; step < MaxScriptSteps && !in.AtEnd(); ++step)
            run.Step(in);
    } catch (const TrinodeError& error) {
        Fail("the store raised where the model expected none", error.Message());
    }
    disk.Clear();
    return 0;
}
