// Print queues over the CUPS client library. The server is the one the
// library finds (CUPS_SERVER, client.conf, the local scheduler).

#include "platform/print_queue.h"

#include <cups/cups.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace brek_platform {

namespace {

std::string last_error() {
  const char* s = cupsLastErrorString();
  return s && *s ? std::string(s) : std::string("the print system did not answer");
}

struct Dest_free {
  void operator()(cups_dest_t* d) const { cupsFreeDests(1, d); }
};
struct Ipp_free {
  void operator()(ipp_t* p) const { ippDelete(p); }
};

// The state message set with the refusal ("cupsreject -r"), else the
// state reasons other than "none".
std::string refusal_reason(const char* printer_uri) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printer_uri);
  static const char* const wanted[] = {"printer-state-message", "printer-state-reasons"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, wanted);
  std::unique_ptr<ipp_t, Ipp_free> answer(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
  if (!answer) return {};
  if (ipp_attribute_t* a = ippFindAttribute(answer.get(), "printer-state-message", IPP_TAG_TEXT)) {
    const char* s = ippGetString(a, 0, nullptr);
    if (s && *s) return s;
  }
  std::string reasons;
  if (ipp_attribute_t* a = ippFindAttribute(answer.get(), "printer-state-reasons", IPP_TAG_KEYWORD)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      const char* s = ippGetString(a, i, nullptr);
      if (!s || std::string(s) == "none") continue;
      if (!reasons.empty()) reasons += ", ";
      reasons += s;
    }
  }
  return reasons;
}

// The queue, or an instance of it named "queue/instance" (the print
// system lists the instances the user set up with lpoptions as printers of
// their own), with the options set for it.
std::unique_ptr<cups_dest_t, Dest_free> named_dest(const std::string& queue) {
  const size_t slash = queue.find('/');
  const std::string name = queue.substr(0, slash);
  const std::string instance = slash == std::string::npos ? std::string() : queue.substr(slash + 1);
  return std::unique_ptr<cups_dest_t, Dest_free>(
      cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(), instance.empty() ? nullptr : instance.c_str()));
}

// Whether the queue is stopped: it keeps the jobs it takes.
bool stopped(const cups_dest_t& dest) {
  const char* printer_state = cupsGetOption("printer-state", dest.num_options, dest.options);
  return printer_state && std::to_string(IPP_PSTATE_STOPPED) == printer_state;
}

// Connects to one address of the server, giving up after a few seconds;
// 0, or why not.
int connect_error(const http_addr_t& address) {
  const int fd = ::socket(address.addr.sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return errno;
  int e = ::connect(fd, &address.addr, socklen_t(httpAddrLength(&address))) == 0 ? 0 : errno;
  if (e == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    socklen_t length = sizeof e;
    if (::poll(&p, 1, 5000) != 1)
      e = ETIMEDOUT;
    else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &length) != 0)
      e = errno;
  }
  ::close(fd);
  return e;
}

}  // namespace

Print_queue_state print_queue_state(const std::string& queue) {
  Print_queue_state state;
  std::unique_ptr<cups_dest_t, Dest_free> dest = named_dest(queue);
  if (!dest) {
    state.reason = last_error();
    return state;
  }
  state.known = true;
  const char* accepting = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
  state.accepting = accepting && std::string(accepting) == "true";
  if (!state.accepting) {
    const char* uri = cupsGetOption("printer-uri-supported", dest->num_options, dest->options);
    state.reason = uri ? refusal_reason(uri) : std::string();
    if (state.reason.empty()) state.reason = "it does not accept jobs";
  }
  return state;
}

std::string print_queue_media(double width, double height) {
  // Hundredths of a millimetre, portrait.
  const double w = std::min(width, height) * 2540 / 72, h = std::max(width, height) * 2540 / 72;
  if (!(w >= 1) || !(h >= 1) || !(h < 1e8)) return {};
  const pwg_media_t* m = pwgMediaForSize(int(std::lround(w)), int(std::lround(h)));
  const std::string pwg = m && m->pwg ? m->pwg : "";
  if (m && m->ppd && pwg.rfind("custom_", 0) != 0) return m->ppd;
  char custom[64];
  std::snprintf(custom, sizeof custom, "Custom.%gx%gmm", std::round(w) / 100, std::round(h) / 100);
  return custom;
}

int print_queue_submit(const std::string& queue, const std::string& pdf_file, const Print_job& job,
                       std::string& error, bool& paused) {
  std::unique_ptr<cups_dest_t, Dest_free> dest = named_dest(queue);
  if (!dest) {
    error = last_error();
    return 0;
  }
  paused = stopped(*dest);
  int n = 0;
  cups_option_t* options = nullptr;
  n = cupsAddOption("copies", std::to_string(job.copies < 1 ? 1 : job.copies).c_str(), n, &options);
  n = cupsAddOption("document-format", "application/pdf", n, &options);
  const std::string media = print_queue_media(job.paper_width, job.paper_height);
  if (!media.empty()) {
    n = cupsAddOption("media", media.c_str(), n, &options);
    n = cupsAddOption("orientation-requested", job.paper_width > job.paper_height ? "4" : "3", n, &options);
  }
  // The options the user set for the printer or instance, as the print
  // system's own commands pass them; the job's own come first.
  for (int i = 0; i < dest->num_options; ++i)
    if (!cupsGetOption(dest->options[i].name, n, options))
      n = cupsAddOption(dest->options[i].name, dest->options[i].value, n, &options);
  const int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, dest->name, pdf_file.c_str(), job.title.c_str(), n, options);
  cupsFreeOptions(n, options);
  if (id <= 0) {
    error = last_error();
    return 0;
  }
  return id;
}

std::string print_server_out_of_reach() {
  // The library's own connection says only that it failed: the system's
  // reason comes from a connection of our own.
  const char* server = cupsServer();
  std::string why = "no address is known for it";
  if (http_addrlist_t* addresses = httpAddrGetList(server, AF_UNSPEC, std::to_string(ippPort()).c_str())) {
    for (http_addrlist_t* a = addresses; a; a = a->next) {
      const int e = connect_error(a->addr);
      if (e == 0) {
        httpAddrFreeList(addresses);
        return {};
      }
      why = std::strerror(e);
    }
    httpAddrFreeList(addresses);
  }
  return std::string("the print server ") + server + " could not be reached (" + why + ")";
}

void print_queue_reconnect() { cupsSetServer(nullptr); }

}  // namespace brek_platform
