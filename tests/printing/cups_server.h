#pragma once
// A print server of the test's own: a CUPS scheduler started from a
// configuration in a temporary folder, listening on a socket there only,
// with one PDF queue (the cups-pdf backend, A4 paper by default) whose
// files land in that folder. CUPS_SERVER points at it while the object lives.
// It needs root: the backend reads a per-queue file of ours from
// /etc/cups. The backend spools and logs in the server's folder, never in
// the machine's shared spool, which backends starting together race to
// make.

#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace print_test {

class Cups_server {
 public:
  Cups_server();
  ~Cups_server();
  Cups_server(const Cups_server&) = delete;
  Cups_server& operator=(const Cups_server&) = delete;

  // Empty when the server runs with its queue; else why it could not start
  // (for a skip message).
  const std::string& failure() const { return failure_; }
  const std::string& queue() const { return queue_; }
  // Runs one of the print system's programs ("cupsreject", "lpstat" ...)
  // against this server; its standard output and error.
  std::string run(const std::string& program, const std::vector<std::string>& arguments, int* exit_code = nullptr);
  // The PDF files the queue has written so far.
  std::vector<std::string> written() const;
  // Waits (up to `seconds`) for the queue to have written `count` files
  // and to have no job left; the files.
  std::vector<std::string> wait_for_files(size_t count, int seconds);
  // Ends the server, as a print server that goes away does; CUPS_SERVER
  // still names it.
  void stop();
  // One attribute of every job the queue took, finished ones too, in the
  // order they came ("landscape" for an orientation-requested of 4); ""
  // where a job has none.
  std::vector<std::string> job_attribute(const std::string& name);

 private:
  bool start();

  brek_test::Temp_dir dir_;
  std::string root_, out_, socket_, queue_, backend_conf_, failure_;
  int pid_ = 0;
  std::unique_ptr<brek_test::Env_guard> env_;
};

}  // namespace print_test
