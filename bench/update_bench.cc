// Drives the update engine once against a server and prints the wall time:
//   update_bench SERVER_BASE_URL
// Run in an installation folder whose System.ini is older than the manifest.
// The launcher's fixed base URL is sent to SERVER_BASE_URL.
#include <chrono>
#include <cstdio>
#include <memory>

#include "config/installed_version.h"
#include "support/nginx_server.h"
#include "update/base_url.h"
#include "update/download_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: update_bench SERVER_BASE_URL\n");
    return 2;
  }
  if (!LoadInstalledVersion()) {
    fprintf(stderr, "no System.ini here\n");
    return 1;
  }
  RedirectingUrlmon redirect(kUpdateBaseUrl, argv[1]);
  platform::ScopedUrlmonApi scoped(&redirect);
  auto start = std::chrono::steady_clock::now();
  auto download = std::make_unique<CDownloadFile>();
  download->WaitForWorker();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  bool complete = download->upToDate.load() == 1;
  int files = download->filesDone.load();
  download.reset();
  printf("%.3f %d %s\n", seconds, files, complete ? "complete" : "FAILED");
  return complete ? 0 : 1;
}
