// The update worker: fetch the manifest, parse it (manifest.cc), download
// every file of every retained version, save System.ini after each.
#include "update/download_file.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "config/installed_version.h"
#include "config/strtok.h"
#include "config/text_file.h"
#include "config/version.h"
#include "shell/log.h"
#include "update/base_url.h"

namespace {

const char kManifestName[] = "patch.ini";
const char kTempFolder[] = "temp\\";
const char kManifestPath[] = "temp\\patch.ini";
const char kPartSuffix[] = ".part";
const size_t kUrlSize = 2084;   // the longest URL urlmon takes
const size_t kPathSize = 1024;

bool FileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// A full disk may show only here, when the file system allocates what the
// transfer wrote.
bool FlushToDisk(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool flushed = FlushFileBuffers(file) != FALSE;
  CloseHandle(file);
  return flushed;
}

// Makes each folder of a backslash-separated path in turn: maps\old\ makes
// maps, then maps\old. Failures show up in the transfer into the folder.
void MakeFolders(const char* directory, bool logEach) {
  char path[260] = "";
  CStrTok reader(directory, static_cast<int>(strlen(directory)), "\\");
  while (const char* token = reader.NextToken()) {
    if (token[0] == '\0') continue;
    size_t used = strlen(path);
    snprintf(path + used, sizeof path - used, used == 0 ? "%s" : "\\%s", token);
    CreateDirectoryA(path, nullptr);
    if (logEach) LogMessage(path);
  }
}

}  // namespace

const char* DownloadResultLine(HRESULT result) {
  switch (result) {
    case S_OK: return "The download completed successfully.";
    case E_OUTOFMEMORY: return "Download out of memory.";
    case INET_E_DOWNLOAD_FAILURE: return "The specified resource or callback interface was invalid.";
    default: return "Unknown download error.";
  }
}

void EncodeUrlName(const char* name, char* out, size_t size) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t used = 0;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name);
       *c != '\0' && used + 4 <= size; ++c) {
    bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                 (*c >= '0' && *c <= '9') || *c == '_' || *c == '-' || *c == '.';
    if (plain) {
      out[used++] = static_cast<char>(*c);
    } else {
      out[used++] = '%';
      out[used++] = kHex[*c >> 4];
      out[used++] = kHex[*c & 15];
    }
  }
  if (size > 0) out[used < size ? used : size - 1] = '\0';
}

CDownloadFile::CDownloadFile()
    : updating(0),
      upToDate(0),
      callback(&stopping),
      worker(nullptr),
      versionCount(0),
      filesDone(0),
      filesTotal(0),
      stopping(false),
      finished(false) {
  for (VersionRecord& record : records) record.fileCount = 0;
  worker = AfxBeginThread(ThreadProc, this, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
  // Without a worker there is no update, and nothing to wait for.
  if (worker == nullptr) Finish();
}

CDownloadFile::~CDownloadFile() {
  stopping.store(true, std::memory_order_release);
  WaitForWorker();
  LogMessage("(TESTCODE) Deleting DownloadFile Dump.");
}

void CDownloadFile::WaitForWorker() {
  std::unique_lock<std::mutex> hold(finishLock);
  finishSignal.wait(hold, [this] { return finished; });
}

void CDownloadFile::Finish() {
  std::lock_guard<std::mutex> hold(finishLock);
  finished = true;
  finishSignal.notify_all();
}

UINT CDownloadFile::ThreadProc(LPVOID parameter) {
  CDownloadFile* self = static_cast<CDownloadFile*>(parameter);
  char url[kUrlSize];
  snprintf(url, sizeof url, "%s/%s", kUpdateBaseUrl, kManifestName);
  LogMessage(url);
  if (self->FetchManifest(url)) {
    self->ParseManifest();
    if (self->updating.load(std::memory_order_acquire)) {
      HRESULT result = self->DownloadUpdates();
      LogMessage(result == S_OK ? "Updates completed successfully." : DownloadResultLine(result));
    }
  }
  // The last touch of the object: after this the destructor may free it.
  self->Finish();
  return 0;
}

bool CDownloadFile::FetchManifest(const char* url) {
  currentName.Set(kManifestName);
  char localPath[kPathSize];
  snprintf(localPath, sizeof localPath, "%s%s", kTempFolder, kManifestName);
  LogMessage(localPath);
  MakeFolders(kTempFolder, false);
  HRESULT result = Transfer(url, localPath);
  LogMessage(DownloadResultLine(result));
  return result == S_OK;
}

void CDownloadFile::ParseManifest() {
  std::vector<char> text;
  TextFileResult read = ReadTextFile(kManifestPath, kMaxManifestSize, &text);
  if (read == TextFileResult::kCannotOpen) return;
  ManifestParse parse{false, 0, 0};
  if (read == TextFileResult::kRead) {
    parse = ParseManifestText(text.data(), InstalledVersion(), {versionCount, filesTotal, records});
  }
  if (!parse.complete) {
    // The temporary manifest stays for a look, and no flag is set.
    LogFormatted("(!) Patch.ini configuration file error(%d)(%d)!", parse.parseState,
                 parse.fieldIndex);
    return;
  }
  DeleteFileA(kManifestPath);
  // The flag is the parse's last write: whoever sees it sees the tables.
  if (versionCount >= 1) {
    updating.store(1, std::memory_order_release);
  } else {
    upToDate.store(1, std::memory_order_release);
  }
}

HRESULT CDownloadFile::DownloadUpdates() {
  for (int v = 0; v < versionCount; ++v) {
    VersionRecord& record = records[v];
    const int16_t* n = record.version.numbers;
    for (int f = 0; f < record.fileCount; ++f) {
      const FileEntry& entry = record.files[f];
      // filesDone rises before the name changes, as the screen expects.
      filesDone.fetch_add(1, std::memory_order_release);
      currentName.Set(entry.name);

      char encoded[3 * sizeof entry.name];
      EncodeUrlName(entry.name, encoded, sizeof encoded);
      char url[kUrlSize];
      snprintf(url, sizeof url, "%s/%d.%d.%d.%d/%s.ini", kUpdateBaseUrl, n[0], n[1], n[2], n[3],
               encoded);
      LogMessage(url);
      char localPath[kPathSize];
      LocalPathOf(entry, localPath, sizeof localPath);
      LogMessage(localPath);
      MakeFolders(entry.directory, true);

      HRESULT result = Transfer(url, localPath);
      if (result != S_OK) {
        LogMessage(DownloadResultLine(result));
        return result;
      }
      LogMessage(DownloadResultLine(S_OK));
    }
    SetInstalledVersion(record.version);
    SaveInstalledVersion();
  }
  upToDate.store(1, std::memory_order_release);
  return S_OK;
}

HRESULT CDownloadFile::Transfer(const char* url, const char* localPath) {
  char partPath[kPathSize + sizeof kPartSuffix];
  snprintf(partPath, sizeof partPath, "%s%s", localPath, kPartSuffix);
  DeleteUrlCacheEntry(url);
  callback.BeginTransfer();
  HRESULT result = URLDownloadToFileA(nullptr, url, partPath, 0, &callback);
  // urlmon saves an error page, nothing at all, or the part of a body that
  // came before the connection broke, and calls it success.
  if (result == S_OK && (callback.ResponseStatus() >= 400 || !callback.ArrivedWhole() ||
                         !FileExists(partPath))) {
    result = INET_E_DOWNLOAD_FAILURE;
  }
  // On disk before it takes the installed file's name: System.ini, saved
  // after the version's last file, must never name a version whose files a
  // power cut could still empty.
  if (result == S_OK &&
      (!FlushToDisk(partPath) || !MoveFileExA(partPath, localPath, MOVEFILE_REPLACE_EXISTING))) {
    result = INET_E_DOWNLOAD_FAILURE;
  }
  if (result != S_OK) DeleteFileA(partPath);  // the installed file stays as it was
  return result;
}
