#pragma once
// The print system's queues (CUPS): whether a queue takes jobs, and the
// hand-over of a finished PDF document as a job. The printer layer
// (platform/printer.h) asks here so that a refused job is a failure, not
// a document that silently goes nowhere. No Qt types.
//
// A queue gets one job, once it says it accepts jobs: the temporary PDF
// with its paper (media by pwgMediaForSize, else a custom size;
// orientation) and a "queue/instance"'s options, as lp sends them.

#include <string>

namespace brek_platform {

struct Print_queue_state {
  bool known = false;  // the print system knows the queue
  bool accepting = false;  // it takes new jobs
  std::string reason;  // why not, for the user; empty when it does
};

// The queue's state as the print system reports it now.
Print_queue_state print_queue_state(const std::string& queue);

// What goes with a job's file.
struct Print_job {
  std::string title;
  int copies = 1;
  // The paper of the pages as they stand, points: the print system is
  // told its size and, when it is wider than high, that it is landscape,
  // so it neither prints on its default paper nor scales the pages to fit.
  double paper_width = 0;
  double paper_height = 0;
};

// The media keyword for paper of width x height points (either way
// round) as the print system spells it: its name for a size it knows
// ("A3", "Letter"), else a custom size ("Custom.100x150mm"); empty for
// sizes that are not positive.
std::string print_queue_media(double width, double height);

// Hands the PDF file to the queue as one job. The job's id, or 0 when the
// print system refused it (`error` then tells why); `paused` tells whether
// the queue was stopped as it took the job.
int print_queue_submit(const std::string& queue, const std::string& pdf_file, const Print_job& job,
                       std::string& error, bool& paused);

// Why the print server cannot be asked now ("the print server
// /run/cups/cups.sock could not be reached (Connection refused)"), from a
// connection of its own; empty when it answers. A queue the print system
// lost the way to is told so, not as a refusal of the job.
std::string print_server_out_of_reach();

// Forgets the print server in use, so that the next question finds it
// again (after CUPS_SERVER changed).
void print_queue_reconnect();

}  // namespace brek_platform
