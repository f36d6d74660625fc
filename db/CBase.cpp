// SPDX-License-Identifier: GPL-3.0-or-later
#include "CBase.h"

#include "CBaseTesting.h"
#include "platform/Clock.h"
#include "platform/FileLock.h"
#include "platform/FileNames.h"
#include "platform/FileProperties.h"
#include "platform/FileSync.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr int kMaxRecordLength = CBase::kRecordBufferSize + 1;
constexpr uint8_t kTerminator = 0x0D;
constexpr uint8_t kEndOfFile = 0x1A;
constexpr uint8_t kActive = ' ';
constexpr uint8_t kDeleted = '*';
// Pack's scratch table lies beside the table and carries the process id: two programs
// packing tables of one folder must not share it.
constexpr const char* kScratchStem = "~temp01";
// How long a change waits for another program's change to the same table. Changes take
// milliseconds; a lock held longer belongs to a program that hangs.
constexpr int kLockTimeoutMs = 5000;

// Read-ahead grows while reads run forward (scans) and falls back for jumps (single GoTo).
constexpr size_t kMinReadAhead = 4096;
constexpr size_t kMaxReadAhead = 512 * 1024;
constexpr size_t kPackFlushSize = 256 * 1024;

// Bumped by every write of any CBase in the process, so no object serves bytes from before
// a write, even one made through another object on the same file.
std::atomic<uint64_t> gWriteGeneration{1};

cbase_testing::RenameFunction& PackRename() {
    static cbase_testing::RenameFunction f;
    return f;
}

struct Field {
    char szName[12]{}; // at most 11 bytes from the file, NUL-terminated here
    char cType = 'C';
    uint8_t iWidth = 0;
    uint8_t iDecimals = 0;
    int iOffset = 0; // within the field bytes (after the flag byte)
};

uint32_t Get32(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
uint16_t Get16(const uint8_t* b) {
    return uint16_t(b[0] | b[1] << 8);
}
void Put32(uint8_t* b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[i] = uint8_t(v >> (8 * i));
}
void Put16(uint8_t* b, uint16_t v) {
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

// Text ends at the first NUL, as it would in a C string.
std::string_view UpToNul(std::string_view s) {
    size_t n = s.find('\0');
    return n == std::string_view::npos ? s : s.substr(0, n);
}

void StampDate(uint8_t* header) {
    cb::LocalDate d = cb::CurrentLocalDate();
    header[1] = uint8_t(d.iYear - 1900);
    header[2] = uint8_t(d.iMonth);
    header[3] = uint8_t(d.iDay);
}

// Scrambling is its own inverse; `start` is the key position of bytes[0].
void Scramble(uint8_t* bytes, size_t n, const std::string& key, size_t start = 0) {
    if (key.empty()) return;
    size_t k = start % key.size();
    for (size_t i = 0; i < n; ++i) {
        bytes[i] ^= uint8_t(k + uint8_t(key[k]));
        if (++k == key.size()) k = 0;
    }
}

bool SeekTo(FILE* f, uint64_t pos) {
    if (pos > uint64_t(LONG_MAX)) return false;
    return std::fseek(f, long(pos), SEEK_SET) == 0;
}

// -1 when the size cannot be told.
int64_t FileSize(FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    long n = std::ftell(f);
    return n < 0 ? -1 : int64_t(n);
}

int RecordLengthOf(const std::vector<Field>& fields) {
    int n = 1;
    for (const Field& f : fields)
        n += f.iWidth;
    return n;
}

// Writes an empty table (header, descriptors, 0x0D, 0x1A) and returns the file open for
// reading and writing, or null. `header` receives the 32 header bytes written; byte 29 is the
// code-page mark, which tells other programs how the texts are to be read.
FILE* WriteEmptyTable(const std::string& fileName, const std::vector<Field>& fields,
                      std::array<uint8_t, kHeaderSize>& header, uint8_t codePageMark) {
    std::remove(fileName.c_str());
    header.fill(0);
    bool memo =
        std::any_of(fields.begin(), fields.end(), [](const Field& f) { return f.cType == 'M'; });
    header[0] = memo ? 0x83 : 0x03;
    StampDate(header.data());
    Put16(&header[8], uint16_t(kDescriptorSize * fields.size() + kHeaderSize + 1));
    Put16(&header[10], uint16_t(RecordLengthOf(fields)));
    header[29] = codePageMark;

    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (const Field& f : fields) {
        uint8_t d[kDescriptorSize]{};
        std::memcpy(d, f.szName, std::min<size_t>(std::strlen(f.szName), 10));
        d[11] = uint8_t(f.cType);
        d[16] = f.iWidth;
        d[17] = f.iDecimals;
        bytes.insert(bytes.end(), d, d + kDescriptorSize);
    }
    bytes.push_back(kTerminator);
    bytes.push_back(kEndOfFile);

    FILE* f = std::fopen(fileName.c_str(), "w+b");
    if (!f) return nullptr;
    std::setvbuf(f, nullptr, _IONBF, 0);
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fflush(f) != 0) {
        std::fclose(f);
        std::remove(fileName.c_str());
        return nullptr;
    }
    return f;
}

} // namespace

namespace cbase_testing {
void SetPackRename(RenameFunction rename) {
    PackRename() = std::move(rename);
}
} // namespace cbase_testing

struct CBase::Impl {
    FILE* hFile = nullptr;
    std::string sFileName;
    std::array<uint8_t, kHeaderSize> aHeader{};
    std::vector<Field> aFields; // of the open file
    std::vector<Field> aLayout; // being built with AddField
    uint32_t dwRecNo = 0;
    std::array<uint8_t, kRecordBufferSize> aRecord{};
    std::string sKey;
    bool bSkipDeleted = false;
    std::string sFindValue;
    uint8_t iCodePageMark = CBase::kWindowsAnsiMark; // for Create

    std::vector<uint8_t> aCache;
    uint64_t dwCacheStart = 0;
    size_t iCacheLen = 0;
    uint64_t dwCacheGeneration = 0;
    size_t iReadAhead = kMinReadAhead;

    Impl() { aRecord.fill(' '); }

    uint32_t Count() const { return Get32(&aHeader[4]); }
    int HeaderLength() const { return Get16(&aHeader[8]); }
    int RecordLength() const { return Get16(&aHeader[10]); }
    uint64_t RecordPos(uint64_t n) const {
        return uint64_t(HeaderLength()) + n * uint64_t(RecordLength());
    }

    const std::vector<Field>& ActiveFields() const { return hFile ? aFields : aLayout; }

    const Field* Lookup(std::string_view name) const {
        for (const Field& f : ActiveFields())
            if (EqualNoCase(f.szName, name))
                return f.iOffset + f.iWidth <= kRecordBufferSize ? &f : nullptr;
        return nullptr;
    }

    void DropCache() { iCacheLen = 0; }

    // Bytes [pos, pos + len) of the file, or null when the file ends before them.
    const uint8_t* ReadSpan(uint64_t pos, size_t len) {
        bool valid = iCacheLen > 0 && dwCacheGeneration == gWriteGeneration.load();
        if (valid && pos >= dwCacheStart && pos + len <= dwCacheStart + iCacheLen)
            return aCache.data() + (pos - dwCacheStart);
        bool forward = valid && pos > dwCacheStart && pos <= dwCacheStart + iCacheLen;
        iReadAhead = forward ? std::min(iReadAhead * 2, kMaxReadAhead) : kMinReadAhead;
        size_t want = std::max(iReadAhead, len);
        if (aCache.size() < want) aCache.resize(want);
        iCacheLen = 0;
        if (!SeekTo(hFile, pos)) return nullptr;
        size_t got = std::fread(aCache.data(), 1, want, hFile);
        dwCacheStart = pos;
        iCacheLen = got;
        dwCacheGeneration = gWriteGeneration.load();
        return got >= len ? aCache.data() : nullptr;
    }

    bool WriteAt(uint64_t pos, const void* data, size_t len) {
        ++gWriteGeneration;
        DropCache();
        if (!bWritable) return Fail(CBase::Error::NoAccess);
        errno = 0;
        if (SeekTo(hFile, pos) && std::fwrite(data, 1, len, hFile) == len &&
            std::fflush(hFile) == 0)
            return true;
        return Fail(ErrorOf(errno, CBase::Error::WriteFailed));
    }

    bool Fail(CBase::Error e) {
        eError = e;
        return false;
    }

    static CBase::Error ErrorOf(int err, CBase::Error other) {
        switch (err) {
        case ENOENT:
        case ENOTDIR:
            return CBase::Error::Missing;
        case EISDIR:
        case ENXIO:
            return CBase::Error::NotAFile;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EBADF:
            return CBase::Error::NoAccess;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return CBase::Error::DiskFull;
        default:
            return other;
        }
    }

    // Opens without blocking on something that is not a regular file (a named pipe would
    // wait for a writer) and without write access when only reading is asked for.
    bool OpenFile(const std::string& fileName, bool writable);

    // A change takes the table's lock and reads the header again under it: another program
    // may have appended since this object read it, or replaced the file by packing or
    // converting it (the new file is then opened in its place, the record buffer kept).
    bool BeginChange() {
        eError = CBase::Error::None;
        if (!hFile) return false;
        if (!bWritable) return Fail(CBase::Error::NoAccess);
        if (iLockDepth > 0) {
            ++iLockDepth;
            return true;
        }
        for (int attempt = 0;; ++attempt) {
            if (!cb::LockFile(fileno(hFile), true, kLockTimeoutMs))
                return Fail(errno == EAGAIN ? CBase::Error::Locked : CBase::Error::WriteFailed);
            if (!Replaced()) break;
            cb::UnlockFile(fileno(hFile));
            // Each new file means another program finished a pack or a conversion.
            if (attempt == 100) return Fail(CBase::Error::Locked);
            if (!Reopen()) return false;
        }
        if (!RefreshHeader()) {
            cb::UnlockFile(fileno(hFile));
            return false;
        }
        iLockDepth = 1;
        return true;
    }

    void EndChange() {
        if (iLockDepth > 0 && --iLockDepth == 0 && hFile) cb::UnlockFile(fileno(hFile));
    }

    // The name now leads to another file than the one open (or to none).
    bool Replaced() const {
        struct stat byName {};
        struct stat open {};
        if (stat(sFileName.c_str(), &byName) != 0 || fstat(fileno(hFile), &open) != 0) return true;
        return byName.st_dev != open.st_dev || byName.st_ino != open.st_ino;
    }

    bool Reopen() {
        const std::string name = sFileName;
        const std::vector<Field> fields = aFields;
        const uint32_t recNo = dwRecNo;
        if (!OpenFile(name, true)) return false;
        dwRecNo = recNo;
        const bool sameLayout =
            RecordLengthOf(fields) == RecordLengthOf(aFields) &&
            std::equal(fields.begin(), fields.end(), aFields.begin(), aFields.end(),
                       [](const Field& a, const Field& b) {
                           return std::strcmp(a.szName, b.szName) == 0 && a.iWidth == b.iWidth;
                       });
        // The record buffer was filled for the old columns.
        return sameLayout || Fail(CBase::Error::WriteFailed);
    }

    bool RefreshHeader() {
        std::array<uint8_t, kHeaderSize> header{};
        DropCache();
        if (!SeekTo(hFile, 0) ||
            std::fread(header.data(), 1, header.size(), hFile) != header.size())
            return Fail(CBase::Error::TooShort);
        if (Get16(&header[8]) != HeaderLength() || Get16(&header[10]) != RecordLength())
            return Fail(CBase::Error::BadHeaderLength);
        aHeader = header;
        return true;
    }

    // Takes back a record that was not completely added: the file ends again with the marker
    // right after the counted records, so count, records and marker agree.
    void TakeBack(uint64_t pos, uint64_t oldSize) {
        const int err = errno;
        const int fd = fileno(hFile);
        std::fflush(hFile);
        if (ftruncate(fd, off_t(std::min(oldSize, pos + 1))) == 0 && oldSize > pos) {
            const uint8_t marker = kEndOfFile;
            [[maybe_unused]] ssize_t n = pwrite(fd, &marker, 1, off_t(pos));
        }
        ++gWriteGeneration;
        DropCache();
        errno = err;
    }

    bool WriteHeader() {
        StampDate(aHeader.data());
        return WriteAt(0, aHeader.data(), aHeader.size());
    }

    // Whole record n is in the file (the header's count may promise more than there is).
    bool RecordInFile(uint64_t n) {
        int64_t size = FileSize(hFile);
        return size >= 0 && RecordPos(n) + uint64_t(RecordLength()) <= uint64_t(size);
    }

    // Flag byte of record n with its field bytes copied (descrambled) to the record buffer.
    int Load(uint64_t n) {
        const uint8_t* rec = ReadSpan(RecordPos(n), size_t(RecordLength()));
        if (!rec) return -1;
        size_t len = size_t(RecordLength()) - 1;
        std::memcpy(aRecord.data(), rec + 1, len);
        Scramble(aRecord.data(), len, sKey);
        return rec[0];
    }

    int SetFlag(int64_t recNo, uint8_t flag) {
        if (!hFile || !BeginChange()) return 0;
        ChangeScope scope(this);
        if (recNo < 0 || recNo >= int64_t(Count())) return 0;
        dwRecNo = uint32_t(recNo);
        if (!RecordInFile(uint64_t(recNo))) return Fail(CBase::Error::CountBeyondFile);
        if (!WriteAt(RecordPos(uint64_t(recNo)), &flag, 1)) return 0;
        return WriteHeader() ? 1 : 0;
    }

    bool bWritable = false;
    int iLockDepth = 0;
    CBase::Error eError = CBase::Error::None;

    struct ChangeScope {
        explicit ChangeScope(Impl* impl) : p(impl) {}
        ~ChangeScope() { p->EndChange(); }
        Impl* p;
    };
};

bool CBase::Impl::OpenFile(const std::string& fileName, bool writable) {
    if (hFile) std::fclose(hFile);
    hFile = nullptr;
    iLockDepth = 0;
    aFields.clear();
    aHeader.fill(0);
    DropCache();
    eError = CBase::Error::None;
    if (fileName.empty() || fileName.size() > size_t(kMaxFileNameLength))
        return Fail(CBase::Error::Missing);
    // A table copied from DOS or Windows may be spelt in capitals.
    sFileName = cb::ExistingSpelling(fileName);
    const int fd = ::open(sFileName.c_str(),
                          (writable ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Fail(ErrorOf(errno, CBase::Error::ReadFailed));
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(CBase::Error::NotAFile);
    }
    // Without any write permission bit a file is read-only, also for root.
    if (writable && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        ::close(fd);
        return Fail(CBase::Error::NoAccess);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* f = fdopen(fd, writable ? "r+b" : "rb");
    if (!f) {
        ::close(fd);
        return Fail(CBase::Error::ReadFailed);
    }
    std::setvbuf(f, nullptr, _IONBF, 0);

    auto fail = [&](CBase::Error e) {
        std::fclose(f);
        return Fail(e);
    };

    int64_t size = FileSize(f);
    std::array<uint8_t, kHeaderSize> header{};
    if (size < kHeaderSize || std::fseek(f, 0, SEEK_SET) != 0 ||
        std::fread(header.data(), 1, header.size(), f) != header.size())
        return fail(CBase::Error::TooShort);
    int headerLength = Get16(&header[8]);
    int recordLength = Get16(&header[10]);
    if (headerLength < kHeaderSize + 1 || headerLength > size)
        return fail(CBase::Error::BadHeaderLength);
    if (recordLength < 1 || recordLength > kMaxRecordLength)
        return fail(CBase::Error::BadRecordLength);
    int count = (headerLength - 1) / kDescriptorSize - 1;
    if (count > kMaxFields) return fail(CBase::Error::TooManyFields);

    // Descriptors and terminator lie inside the header, which lies inside the file.
    std::vector<uint8_t> desc(size_t(count) * kDescriptorSize + 1);
    if (std::fread(desc.data(), 1, desc.size(), f) != desc.size())
        return fail(CBase::Error::BadHeaderLength);
    if (desc.back() != kTerminator) return fail(CBase::Error::NoTerminator);

    std::vector<Field> fields(static_cast<size_t>(count));
    int offset = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t* d = &desc[size_t(i) * kDescriptorSize];
        Field& fld = fields[size_t(i)];
        std::memcpy(fld.szName, d, 11);
        fld.szName[11] = '\0';
        fld.cType = char(d[11]);
        fld.iWidth = d[16];
        fld.iDecimals = d[17];
        fld.iOffset = offset;
        if (fld.iWidth == 0) return fail(CBase::Error::BadField);
        offset += fld.iWidth;
    }
    if (offset + 1 > recordLength) return fail(CBase::Error::BadField);

    hFile = f;
    bWritable = writable;
    aHeader = header;
    aFields = std::move(fields);
    dwRecNo = 0;
    DropCache();
    return true;
}

CBase::CBase() : p(new Impl) {}

CBase::CBase(const std::string& fileName) : CBase() {
    Open(fileName);
}

CBase::~CBase() {
    Close();
    delete p;
}

bool CBase::Open(const std::string& fileName) {
    return OpenFile(fileName, false);
}

bool CBase::OpenForReading(const std::string& fileName) {
    return OpenFile(fileName, true);
}

bool CBase::OpenFile(const std::string& fileName, bool bReadOnly) {
    Close();
    return p->OpenFile(fileName, !bReadOnly);
}

void CBase::Close() {
    // Closing the file also drops a lock held on it.
    if (p->hFile) std::fclose(p->hFile);
    p->hFile = nullptr;
    p->iLockDepth = 0;
    p->aFields.clear();
    p->aHeader.fill(0);
    p->DropCache();
}

bool CBase::IsOpen() const {
    return p->hFile != nullptr;
}

CBase::Error CBase::LastError() const {
    return p->eError;
}

bool CBase::IsDamage(Error e) {
    return e >= Error::TooShort;
}

bool CBase::Lock() {
    return p->BeginChange();
}

void CBase::Unlock() {
    p->EndChange();
}

int CBase::AddField(int index, std::string_view name, char type, int width, int decimals) {
    if (index < 0 || index >= kMaxFields) return kMaxFields - index;
    Field f;
    name = UpToNul(name).substr(0, 10);
    for (size_t i = 0; i < name.size(); ++i)
        f.szName[i] = FoldAscii(name[i]);
    f.cType = FoldAscii(type);
    // Out-of-range widths are kept visible as 0 so that Create refuses the layout.
    f.iWidth = (width >= 1 && width <= 255) ? uint8_t(width) : 0;
    f.iDecimals = uint8_t(decimals);
    p->aLayout.resize(size_t(index) + 1);
    p->aLayout[size_t(index)] = f;
    int offset = 0;
    for (Field& l : p->aLayout) {
        l.iOffset = offset;
        offset += l.iWidth;
    }
    return kMaxFields - index;
}

bool CBase::Create(const std::string& requestedName) {
    Close();
    // Replaces a table of that name in any spelling rather than adding one beside it.
    const std::string fileName = cb::ExistingSpelling(requestedName);
    const std::vector<Field>& layout = p->aLayout;
    bool widthsOk =
        std::all_of(layout.begin(), layout.end(), [](const Field& f) { return f.iWidth >= 1; });
    if (!widthsOk || RecordLengthOf(layout) > kMaxRecordLength) return false;
    if (fileName.empty() || fileName.size() > size_t(kMaxFileNameLength)) return false;
    std::array<uint8_t, kHeaderSize> header{};
    FILE* f = WriteEmptyTable(fileName, layout, header, p->iCodePageMark);
    if (!f) return p->Fail(Impl::ErrorOf(errno, Error::WriteFailed));
    ++gWriteGeneration;
    if (std::fclose(f) != 0) return p->Fail(Impl::ErrorOf(errno, Error::WriteFailed));
    return Open(fileName);
}

int CBase::FieldCount() const {
    return int(p->ActiveFields().size());
}

std::string CBase::FieldName(int index) const {
    const std::vector<Field>& fields = p->ActiveFields();
    if (index < 0 || size_t(index) >= fields.size()) return {};
    return fields[size_t(index)].szName;
}

void CBase::SetKey(std::string_view key) {
    p->sKey = std::string(UpToNul(key).substr(0, kMaxKeyLength));
}

void CBase::SkipDeleted(bool on) {
    p->bSkipDeleted = on;
}

uint32_t CBase::RecCount() const {
    return p->Count();
}

uint32_t CBase::RecNo() const {
    return p->dwRecNo;
}

int CBase::GoTo(int64_t recNo) {
    p->dwRecNo = uint32_t(recNo);
    if (!p->hFile || recNo < 0 || recNo >= int64_t(p->Count())) return -1;
    int flag = p->Load(uint64_t(recNo));
    if (flag < 0) return -1;
    return flag == kActive ? 1 : 0;
}

std::string CBase::GetField(std::string_view name, bool trim) const {
    const Field* f = p->Lookup(name);
    if (!f) return {};
    std::string_view bytes(reinterpret_cast<const char*>(p->aRecord.data()) + f->iOffset,
                           f->iWidth);
    bytes = UpToNul(bytes);
    if (trim) {
        size_t end = bytes.find_last_not_of(' ');
        bytes = bytes.substr(0, end == std::string_view::npos ? 0 : end + 1);
    }
    return std::string(bytes);
}

void CBase::PutField(std::string_view name, std::string_view text) {
    const Field* f = p->Lookup(name);
    if (!f) return;
    text = UpToNul(text).substr(0, f->iWidth);
    uint8_t* dst = p->aRecord.data() + f->iOffset;
    std::memcpy(dst, text.data(), text.size());
    std::memset(dst + text.size(), ' ', f->iWidth - text.size());
}

int CBase::Append() {
    if (!p->hFile) return 0;
    if (!p->BeginChange()) {
        p->dwRecNo = p->Count() == 0 ? UINT32_MAX : p->Count() - 1;
        return 0;
    }
    Impl::ChangeScope scope(p);
    uint32_t count = p->Count();
    p->dwRecNo = count == 0 ? UINT32_MAX : count - 1;
    if (count == UINT32_MAX) return p->Fail(Error::DiskFull);
    // The end of the records must be where the file is: a count promising more records
    // than the file holds would otherwise leave a hole of zero bytes as records.
    uint64_t pos = p->RecordPos(count);
    int64_t size = FileSize(p->hFile);
    if (size < 0) return p->Fail(Error::ReadFailed);
    if (pos > uint64_t(size)) return p->Fail(Error::CountBeyondFile);

    size_t len = size_t(p->RecordLength());
    std::array<uint8_t, kMaxRecordLength + 1> rec{};
    rec[0] = kActive;
    std::memcpy(&rec[1], p->aRecord.data(), len - 1);
    Scramble(&rec[1], len - 1, p->sKey);
    rec[len] = kEndOfFile;
    if (!p->WriteAt(pos, rec.data(), len + 1)) {
        p->TakeBack(pos, uint64_t(size));
        return 0;
    }

    Put32(&p->aHeader[4], count + 1);
    if (!p->WriteHeader()) {
        Put32(&p->aHeader[4], count);
        p->TakeBack(pos, uint64_t(size));
        return 0;
    }
    p->dwRecNo = count;
    return 1;
}

int CBase::Write() {
    if (!p->hFile || !p->BeginChange()) return 0;
    Impl::ChangeScope scope(p);
    if (p->dwRecNo >= p->Count()) return 0;
    if (!p->RecordInFile(p->dwRecNo)) return p->Fail(Error::CountBeyondFile);
    size_t len = size_t(p->RecordLength());
    std::array<uint8_t, kMaxRecordLength> rec{};
    rec[0] = kActive;
    std::memcpy(&rec[1], p->aRecord.data(), len - 1);
    Scramble(&rec[1], len - 1, p->sKey);
    if (!p->WriteAt(p->RecordPos(p->dwRecNo), rec.data(), len)) return 0;
    return p->WriteHeader() ? 1 : 0;
}

int CBase::Delete(int64_t recNo) {
    return p->SetFlag(recNo, kDeleted);
}

int CBase::Recall(int64_t recNo) {
    return p->SetFlag(recNo, kActive);
}

bool CBase::Pack() {
    return Rewrite(true, 0, {});
}

bool CBase::AppendAll(size_t count, const std::function<bool(size_t)>& fill) {
    return Rewrite(false, count, fill);
}

bool CBase::Rewrite(bool dropDeleted, size_t extra, const std::function<bool(size_t)>& fill) {
    if (!p->hFile || !p->BeginChange()) return false;
    Impl::ChangeScope scope(p);
    // The packed table takes the place of the file the name leads to, links followed, with
    // that file's permissions and owner.
    const std::string target = cb::ReplacementTarget(p->sFileName);
    const cb::FileProperties properties = cb::PropertiesOf(target);
    const std::string kScratchName =
        cb::FolderOf(target) + kScratchStem + "." + std::to_string(getpid()) + ".dbf";
    std::array<uint8_t, kHeaderSize> header{};
    // The packed table keeps the mark it had, none included.
    FILE* scratch = WriteEmptyTable(kScratchName, p->aFields, header, p->aHeader[29]);
    if (!scratch) return p->Fail(Impl::ErrorOf(errno, Error::WriteFailed));
    ++gWriteGeneration;

    // Scrambling is undone and redone with the same key, so the bytes are copied as they
    // are. Records are gathered into large writes; the scratch table is nobody's until the
    // rename, so its header needs writing only once.
    const size_t inLen = size_t(p->RecordLength());
    const size_t outLen = size_t(RecordLengthOf(p->aFields));
    const uint64_t outStart = Get16(&header[8]);
    std::vector<uint8_t> out;
    out.reserve(kPackFlushSize + outLen);
    uint64_t outPos = outStart;
    uint32_t kept = 0;
    bool ok = true;
    auto flush = [&] {
        if (out.empty()) return true;
        bool written = SeekTo(scratch, outPos) &&
                       std::fwrite(out.data(), 1, out.size(), scratch) == out.size();
        if (!written) p->Fail(Impl::ErrorOf(errno, Error::WriteFailed));
        outPos += out.size();
        out.clear();
        return written;
    };
    p->DropCache();
    const uint32_t count = p->Count();
    for (uint32_t i = 0; i < count && ok; ++i) {
        const uint8_t* rec = p->ReadSpan(p->RecordPos(i), inLen);
        if (!rec) {
            ok = p->Fail(Error::CountBeyondFile);
            break;
        }
        if (dropDeleted && rec[0] != kActive) continue;
        out.insert(out.end(), rec, rec + outLen);
        ++kept;
        if (out.size() >= kPackFlushSize) ok = flush();
    }
    // New records are built in the record buffer, which holds the caller's record again
    // afterwards.
    const auto callerRecord = p->aRecord;
    bool cancelled = false;
    for (size_t i = 0; i < extra && ok; ++i) {
        if (kept == UINT32_MAX) {
            ok = p->Fail(Error::DiskFull);
            break;
        }
        p->aRecord.fill(' ');
        if (!fill(i)) {
            ok = false;
            cancelled = true;
            break;
        }
        const size_t at = out.size();
        out.push_back(kActive);
        out.insert(out.end(), p->aRecord.begin(), p->aRecord.begin() + ptrdiff_t(outLen - 1));
        Scramble(&out[at + 1], outLen - 1, p->sKey);
        ++kept;
        if (out.size() >= kPackFlushSize) ok = flush();
    }
    p->aRecord = callerRecord;
    if (ok) {
        out.push_back(kEndOfFile);
        ok = flush();
    }
    if (ok) {
        Put32(&header[4], kept);
        StampDate(header.data());
        ok = SeekTo(scratch, 0) &&
             std::fwrite(header.data(), 1, header.size(), scratch) == header.size();
    }
    ok = ok && cb::KeepProperties(fileno(scratch), properties);
    ok = cb::SyncToDisk(scratch) && ok;
    ok = std::fclose(scratch) == 0 && ok;
    if (!ok) {
        if (p->eError == Error::None && !cancelled)
            p->Fail(Impl::ErrorOf(errno, Error::WriteFailed));
        std::remove(kScratchName.c_str());
        return false;
    }

    // The scratch table replaces the table in one step, so the table file holds either
    // every old record or the packed ones at any moment.
    // The rename happens while the lock on the old file is still held: a program waiting to
    // append then finds the name leading to the packed table and appends there. Closing first
    // would let it append to the old file in between, and the rename would lose that record.
    const std::string name = p->sFileName;
    const uint32_t recNo = p->dwRecNo;
    bool renamed;
    if (PackRename()) {
        renamed = PackRename()(kScratchName, target);
    } else {
        std::error_code ec;
        std::filesystem::rename(kScratchName, target, ec);
        renamed = !ec;
    }
    ++gWriteGeneration;
    Close();
    if (!renamed) return p->Fail(Error::WriteFailed);
    bool opened = Open(name);
    p->dwRecNo = recNo;
    return opened;
}

// The scan both searches share: each record's field is looked at where it lies in the
// read-ahead block (descrambled into a copy for a keyed table); only the record that ends
// the search is copied into the record buffer, as a read of each would leave it. `fits`
// sees the field's whole width.
struct FieldScan {
    template <class Fits> static int64_t Run(CBase::Impl& p, const Field& f, Fits&& fits) {
        const size_t width = f.iWidth;
        const size_t recLen = size_t(p.RecordLength());
        const size_t fieldPos = 1 + size_t(f.iOffset);
        std::array<uint8_t, 256> plain{};
        p.DropCache();
        const uint32_t count = p.Count();
        int64_t lastRead = -1;
        for (uint32_t i = 0; i < count; ++i) {
            p.dwRecNo = i;
            const uint8_t* rec = p.ReadSpan(p.RecordPos(i), recLen);
            if (!rec) break; // nothing after this one is in the file either
            lastRead = i;
            if (p.bSkipDeleted && rec[0] != kActive) continue;
            const uint8_t* field = rec + fieldPos;
            if (!p.sKey.empty()) {
                std::memcpy(plain.data(), field, width);
                Scramble(plain.data(), width, p.sKey, fieldPos - 1);
                field = plain.data();
            }
            if (fits(std::string_view(reinterpret_cast<const char*>(field), width))) {
                p.Load(i);
                return i;
            }
        }
        if (lastRead >= 0) {
            uint32_t current = p.dwRecNo;
            p.Load(uint64_t(lastRead));
            p.dwRecNo = current;
        }
        return -1;
    }
};

int64_t CBase::Find(std::string_view name, std::string_view value, int mode) {
    p->sFindValue = std::string(UpToNul(value).substr(0, kMaxFindValueLength));
    const Field* f = p->Lookup(name);
    if (!f) {
        p->dwRecNo = 0;
        return -2;
    }
    if (!p->hFile) return -1;

    const std::string_view v = p->sFindValue;
    const size_t width = f->iWidth;
    return FieldScan::Run(*p, *f, [&](std::string_view fv) {
        switch (mode) {
        case FindPrefix:
            return v.size() <= width && fv.substr(0, v.size()) == v;
        case FindPrefixNoCase:
            return v.size() <= width && EqualNoCase(fv.substr(0, v.size()), v);
        case FindContains:
            return fv.find(v) != std::string_view::npos;
        case FindContainsNoCase: {
            if (v.size() > width) return false;
            for (size_t s = 0; s + v.size() <= width; ++s)
                if (EqualNoCase(fv.substr(s, v.size()), v)) return true;
            return false;
        }
        case FindExact: {
            fv = UpToNul(fv);
            size_t end = fv.find_last_not_of(' ');
            fv = fv.substr(0, end == std::string_view::npos ? 0 : end + 1);
            return fv == v;
        }
        default:
            return false;
        }
    });
}

int64_t CBase::FindIf(std::string_view name, const std::function<bool(std::string_view)>& fits) {
    const Field* f = p->Lookup(name);
    if (!f) {
        p->dwRecNo = 0;
        return -2;
    }
    if (!p->hFile) return -1;
    return FieldScan::Run(*p, *f, [&](std::string_view fv) { return fits(UpToNul(fv)); });
}

uint8_t CBase::CodePageMark() const {
    return p->aHeader[29];
}

void CBase::SetCodePageMark(uint8_t mark) {
    p->iCodePageMark = mark;
}
