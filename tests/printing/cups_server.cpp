#include "tests/printing/cups_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "baselib/system_functions.h"
#include "platform/print_queue.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace print_test {

namespace fs = std::filesystem;

namespace {

constexpr const char* CUPSD = "/usr/sbin/cupsd";
constexpr const char* BACKEND = "/usr/lib/cups/backend/cups-pdf";
constexpr const char* PPD = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
// The backend reads its settings per device from here, named after the
// device's path.
constexpr const char* BACKEND_CONF_DIR = "/etc/cups";

bool accepts_connections(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  path.copy(a.sun_path, sizeof a.sun_path - 1);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

Cups_server::Cups_server() {
  if (!start()) return;
  brek_platform::print_queue_reconnect();
}

bool Cups_server::start() {
  if (::geteuid() != 0) {
    failure_ = "a print server of the test's own needs root (its PDF backend runs as root)";
    return false;
  }
  for (const char* f : {CUPSD, BACKEND, PPD})
    if (!fs::exists(f)) {
      failure_ = std::string(f) + " is missing (cups-daemon, printer-driver-cups-pdf)";
      return false;
    }
  if (!fs::is_directory(BACKEND_CONF_DIR)) {
    failure_ = std::string(BACKEND_CONF_DIR) + " is missing";
    return false;
  }
  // The socket's path must fit a socket address: a short folder in /tmp.
  std::string templ = "/tmp/cups-test-XXXXXX";
  if (!::mkdtemp(templ.data())) {
    failure_ = "no temporary folder for the print server";
    return false;
  }
  root_ = templ;
  out_ = root_ + "/out";
  socket_ = root_ + "/cups.sock";
  queue_ = "collage_test_" + std::to_string(::getpid());
  for (const char* sub : {"conf", "spool", "cache", "state", "log", "tmp", "out", "pdf-spool"})
    fs::create_directory(root_ + "/" + sub);
  // The scheduler hands work to an unprivileged user, which must reach
  // its spool, temporary and output folders.
  ::chmod(root_.c_str(), 0755);
  for (const char* sub : {"tmp", "out"}) ::chmod((root_ + "/" + sub).c_str(), 01777);
  ::chmod((root_ + "/pdf-spool").c_str(), 0751);

  const std::string conf = root_ + "/conf";
  brek_test::write_file(conf + "/cups-files.conf",
                        "ServerRoot " + conf + "\nRequestRoot " + root_ + "/spool\nCacheDir " + root_ +
                            "/cache\nStateDir " + root_ + "/state\nTempDir " + root_ + "/tmp\nAccessLog " + root_ +
                            "/log/access_log\nErrorLog " + root_ + "/log/error_log\nPageLog " + root_ +
                            "/log/page_log\nSystemGroup root\n");
  brek_test::write_file(conf + "/cupsd.conf",
                        "Listen " + socket_ +
                            "\nLogLevel warn\nBrowsing Off\nWebInterface No\nDefaultAuthType None\n"
                            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                            "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
  backend_conf_ = std::string(BACKEND_CONF_DIR) + "/cups-pdf-" + queue_ + ".conf";
  // The backend's spool folder and log are the server's own: the machine's
  // spool folder is made by the first job that needs it, and a second
  // backend starting at that moment fails on the folder it finds made and
  // drops its job.
  brek_test::write_file(backend_conf_, "Out " + out_ + "\nAnonDirName " + out_ + "\nSpool " + root_ +
                                           "/pdf-spool\nLog " + root_ + "/log\nLabel 0\n");

  std::string files = conf + "/cups-files.conf", main = conf + "/cupsd.conf";
  std::vector<std::string> args{CUPSD, "-f", "-c", main, "-s", files};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, CUPSD, nullptr, nullptr, argv.data(), environ) != 0) {
    failure_ = "cupsd could not be started";
    return false;
  }
  pid_ = pid;
  env_ = std::make_unique<brek_test::Env_guard>("CUPS_SERVER", socket_);
  bool ended = false;
  brek_test::wait_until([&] {
    int status = 0;
    ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
    return ended || accepts_connections(socket_);
  });
  if (ended) {
    pid_ = 0;
    failure_ = "cupsd ended at once: " + brek_test::read_file(root_ + "/log/error_log");
    return false;
  }
  if (!accepts_connections(socket_)) {
    failure_ = "cupsd does not answer on " + socket_;
    return false;
  }
  int rc = -1;
  // A4 by default, whatever the machine's locale would choose.
  std::string said =
      run("lpadmin", {"-p", queue_, "-E", "-v", "cups-pdf:/" + queue_, "-P", PPD, "-o", "PageSize=A4"}, &rc);
  if (rc != 0) {
    failure_ = "the PDF queue could not be added: " + said;
    return false;
  }
  return true;
}

void Cups_server::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = 0;
}

Cups_server::~Cups_server() {
  stop();
  if (!backend_conf_.empty()) ::unlink(backend_conf_.c_str());
  env_.reset();
  brek_platform::print_queue_reconnect();
  if (!root_.empty()) {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
}

std::string Cups_server::run(const std::string& program, const std::vector<std::string>& arguments, int* exit_code) {
  // The administration programs live in sbin, which a user's PATH may lack.
  std::string path = program;
  for (const char* dir : {"/usr/sbin/", "/usr/bin/"})
    if (fs::exists(dir + program)) {
      path = dir + program;
      break;
    }
  return brek::System_functions::run_process(path, arguments, brek::System_functions::CAPTURE_STDOUT |
                                                                     brek::System_functions::CAPTURE_STDERR,
                                             exit_code);
}

std::vector<std::string> Cups_server::written() const {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(out_, ec))
    if (e.path().extension() == ".pdf") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> Cups_server::wait_for_files(size_t count, int seconds) {
  brek_test::wait_until([&] { return written().size() >= count && run("lpstat", {"-o", queue_}).empty(); },
                        std::chrono::seconds(seconds));
  return written();
}

}  // namespace print_test

namespace print_test {

std::vector<std::string> Cups_server::job_attribute(const std::string& name) {
  std::vector<std::string> values;
  if (socket_.empty()) return values;
  // Asked on a connection of its own, whatever server the program's
  // library connected to last.
  http_t* http = httpConnect2(socket_.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, 30000, nullptr);
  if (!http) return values;
  auto ask = [&](ipp_op_t op, const std::string& uri, const std::vector<const char*>& wanted) {
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, op == IPP_OP_GET_JOBS ? "printer-uri" : "job-uri", nullptr,
                 uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    if (op == IPP_OP_GET_JOBS) ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(wanted.size()), nullptr,
                  wanted.data());
    return cupsDoRequest(http, request, "/");
  };
  // The queue's jobs, then each job's attribute.
  std::vector<int> jobs;
  ipp_t* list = ask(IPP_OP_GET_JOBS, "ipp://localhost/printers/" + queue_, {"job-id"});
  for (ipp_attribute_t* a = list ? ippFindAttribute(list, "job-id", IPP_TAG_INTEGER) : nullptr; a;
       a = ippFindNextAttribute(list, "job-id", IPP_TAG_INTEGER))
    jobs.push_back(ippGetInteger(a, 0));
  ippDelete(list);
  std::sort(jobs.begin(), jobs.end());
  for (int job : jobs) {
    ipp_t* attrs = ask(IPP_OP_GET_JOB_ATTRIBUTES, "ipp://localhost/jobs/" + std::to_string(job), {name.c_str()});
    std::string value;
    if (ipp_attribute_t* a = attrs ? ippFindAttribute(attrs, name.c_str(), IPP_TAG_ZERO) : nullptr) {
      char text[256];
      ippAttributeString(a, text, sizeof text);
      value = text;
    }
    ippDelete(attrs);
    values.push_back(value);
  }
  httpClose(http);
  return values;
}

}  // namespace print_test
