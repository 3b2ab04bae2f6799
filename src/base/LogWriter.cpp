// Placeholder: a synchronous writer with the interface of the real one, replaced by the queued writer.
#include "base/LogWriter.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "base/DateTime.h"

struct tZR_LogWriter::Impl {
    Text fDirectory;
    Text fFileName;
    std::int32_t fMaxMessageLength = 0;
    bool fDaily = false;
    bool fShowGuid = false;
    bool fIsDLLFinalization = false;
    std::int32_t fMaxLogfileSize = 5000;
    std::mutex fLock;
};

namespace {
Text Pad(int v, int n) {
    Text t = IntToText(v);
    while (static_cast<int>(t.size()) < n) {
        t.insert(t.begin(), u'0');
    }
    return t;
}
}  // namespace

tZR_LogWriter::tZR_LogWriter(const Text& aFileName, const Text& aDirectory, std::int32_t aMaxMessageLength,
                             bool aDaily)
    : fImpl(std::make_unique<Impl>()) {
    fImpl->fMaxMessageLength = aMaxMessageLength;
    fImpl->fDaily = aDaily;
    const auto p = DecodeDateTime(Now());
    fImpl->fFileName = aDaily ? aFileName + u"_" + Pad(p.Year, 4) + Pad(p.Month, 2) + Pad(p.Day, 2) + u".log"
                              : aFileName + u".log";
    SetDirectory(aDirectory);
}

tZR_LogWriter::~tZR_LogWriter() = default;

void tZR_LogWriter::Write(tZR_MessageType aEntryType, const Text& aMessage) {
    const auto p = DecodeDateTime(Now());
    Text line = Pad(p.Year, 4) + u"-" + Pad(p.Month, 2) + u"-" + Pad(p.Day, 2) + u" " + Pad(p.Hour, 2) + u":" +
                Pad(p.Minute, 2) + u":" + Pad(p.Second, 2) + u":" + Pad(p.Millisecond, 3) +
                (aEntryType == tZR_MessageType::let_error ? u" - ERROR - " : u" - ") + aMessage + u"\r\n";
    std::lock_guard<std::mutex> lock(fImpl->fLock);
    std::FILE* f = std::fopen(TextToUtf8(fImpl->fFileName).c_str(), "ab");
    if (f != nullptr) {
        const std::string bytes = TextToUtf8(line);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

std::int64_t tZR_LogWriter::GetLogFileSize() const { return -1; }
bool tZR_LogWriter::CheckLogfileSize() const { return true; }
std::int64_t tZR_LogWriter::DroppedTotal() const { return 0; }
const Text& tZR_LogWriter::Directory() const { return fImpl->fDirectory; }
void tZR_LogWriter::SetDirectory(const Text& aValue) {
    fImpl->fDirectory = aValue;
    const Text name = fImpl->fFileName.substr(fImpl->fFileName.find_last_of(u"/\\") + 1);
    fImpl->fFileName = aValue + u"/" + name;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(TextToUtf8(aValue)), ec);
}
const Text& tZR_LogWriter::FileName() const { return fImpl->fFileName; }
void tZR_LogWriter::SetFileName(const Text& aValue) { fImpl->fFileName = fImpl->fDirectory + u"/" + aValue; }
std::int32_t tZR_LogWriter::MaxMessageLength() const { return fImpl->fMaxMessageLength; }
bool tZR_LogWriter::ShowInstanceGuid() const { return fImpl->fShowGuid; }
void tZR_LogWriter::SetShowInstanceGuid(bool aValue) { fImpl->fShowGuid = aValue; }
Text tZR_LogWriter::Guid() const { return u"{00000000-0000-0000-0000-000000000000}"; }
bool tZR_LogWriter::Daily() const { return fImpl->fDaily; }
std::int32_t tZR_LogWriter::MaxLogFileSize() const { return fImpl->fMaxLogfileSize; }
void tZR_LogWriter::SetMaxLogFileSize(std::int32_t aKiB) { fImpl->fMaxLogfileSize = aKiB; }
bool tZR_LogWriter::IsDLLFinalization() const { return fImpl->fIsDLLFinalization; }
void tZR_LogWriter::SetIsDLLFinalization(bool aValue) { fImpl->fIsDLLFinalization = aValue; }
void tZR_LogWriter::SetLibraryUnloading(bool) {}
