// The steps of one connection: wait for a request, read its head and body
// within their bounds and deadlines, hand it to the handler, send the answer,
// close (see http_connection.h).
#include "apps/http/http_connection.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <limits>

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>

namespace zarel::http {

namespace asio = boost::asio;
namespace bhttp = boost::beast::http;
using boost::system::error_code;

namespace {

// Bytes asked of the socket per read while waiting for a head.
constexpr std::size_t kReadChunk = 8192;
// Bytes of a file read and sent at a time: the whole cost of a download.
constexpr std::size_t kFileChunk = 64 * 1024;
// After an answer that closes the connection, what the client still sends
// is read and dropped for this long or this much, so that the answer is not
// lost to a reset (closing a socket with unread data resets it).
constexpr std::chrono::milliseconds kLingerTime{1000};
constexpr std::size_t kLingerBytes = 64 * 1024;

constexpr const char* kPlainText = "text/plain; charset=utf-8";

// The server owns the framing of its answers: a handler's own
// Content-Length, Transfer-Encoding or Connection would contradict it.
bool IsFramingHeader(std::string_view name) {
  return SameHeaderName(name, "Content-Length") || SameHeaderName(name, "Transfer-Encoding") ||
         SameHeaderName(name, "Connection");
}

bool HasHeader(const std::vector<HeaderField>& headers, std::string_view name) {
  return std::any_of(headers.begin(), headers.end(),
                     [name](const HeaderField& field) { return SameHeaderName(field.first, name); });
}

void AppendHeader(std::string& head, std::string_view name, std::string_view value) {
  head.append(name);
  head += ": ";
  head.append(value);
  head += "\r\n";
}

// Whether the client of a connection has closed its side (a browser tab
// closed, a program ended) while its request waited for a worker. Asked of
// the kernel without reading: the socket belongs to the connection's own
// thread.
bool ClientLeft(int fd) {
  pollfd state{fd, POLLRDHUP, 0};
  return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

void RunHandler(const Server::Handler& handler, const Request& request, Response& response) {
  try {
    handler(request, response);
  } catch (...) {
    // Whatever the handler had set goes: a half-made answer is not sent.
    response = Response();
    response.status = 500;
    response.SetContent("The server failed to answer this request.\n", kPlainText);
  }
}

}  // namespace

ServerContext::ServerContext(ServerOptions server_options, Server::Handler request_handler)
    : options(std::move(server_options)),
      handler(std::move(request_handler)),
      limits(options.max_connections, options.max_connections_per_address),
      workers(std::max(0, options.worker_threads), options.max_waiting_requests, options.max_wait_for_worker),
      io(std::max(1, options.io_threads)) {}

std::vector<std::shared_ptr<Connection>> ServerContext::Connections() {
  std::vector<std::shared_ptr<Connection>> alive;
  std::lock_guard<std::mutex> lock(registry_mutex);
  alive.reserve(registry.size());
  for (const auto& entry : registry) {
    if (std::shared_ptr<Connection> connection = entry.second.lock()) alive.push_back(std::move(connection));
  }
  return alive;
}

Connection::Connection(ServerContext& context, Socket socket, std::string peer,
                       std::optional<ConnectionLimits::Ticket> ticket)
    : context_(context),
      socket_(std::move(socket)),
      peer_(std::move(peer)),
      ticket_(std::move(ticket)),
      refused_(!ticket_.has_value()),
      // The read buffer holds at most a whole head and one more read: with
      // the parser's own limits this bounds what a connection holds before
      // its request is complete.
      buffer_(std::max(context.options.max_header_bytes, kReadChunk) + kReadChunk) {}

Connection::~Connection() {
  std::lock_guard<std::mutex> lock(context_.registry_mutex);
  context_.registry.erase(this);
}

void Connection::Start() {
  {
    std::lock_guard<std::mutex> lock(context_.registry_mutex);
    context_.registry.emplace(this, weak_from_this());
  }
  if (refused_) {
    Refuse(503, "The server has as many connections as it takes; try again in a moment.", true);
    return;
  }
  WaitForRequest();
}

void Connection::SetDeadline(std::chrono::milliseconds from_now) {
  deadline_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                      (Clock::now() + from_now).time_since_epoch())
                      .count(),
                  std::memory_order_relaxed);
}

// Waiting for the first byte of a request is bounded by the idle timeout
// (by the head deadline for a connection's first request, which must come
// at once): a connection nobody uses goes.
void Connection::WaitForRequest() {
  if (context_.stopping) {
    Close();
    return;
  }
  state_ = State::kIdle;
  if (buffer_.size() > 0) {  // the next request came with the last one
    ReadHead();
    return;
  }
  SetDeadline(first_request_ ? context_.options.head_deadline : context_.options.idle_timeout);
  socket_.async_read_some(buffer_.prepare(kReadChunk),
                          [self = shared_from_this()](const error_code& error, std::size_t bytes) {
                            if (self->state_ == State::kClosed) return;
                            if (error) {
                              self->OnReadError(error);
                              return;
                            }
                            self->buffer_.commit(bytes);
                            self->ReadHead();
                          });
}

// The head is read under two bounds: its size and its deadline. The size
// counts the request line and every header line together: Beast's own
// header limit applies to the part of the head it has not yet taken (it
// takes the request line as soon as that is whole), so a head of nearly
// twice the bound would pass it; the bytes the parser has taken are counted
// here and its limit lowered to what is left. The deadline runs from the head's
// first byte and is not renewed by progress: a client sending a line a
// second is cut off like one sending nothing.
void Connection::ReadHead() {
  state_ = State::kReadingHead;
  head_request_ = false;
  head_bytes_ = 0;
  parser_.emplace();
  // The body bound holds for a declared length (refused from the head, before
  // any of the body is read) and for chunks alike (refused as soon as their
  // sum passes it).
  parser_->body_limit(context_.options.max_body_bytes);
  if (!first_request_) SetDeadline(context_.options.head_deadline);
  ParseHead();
}

void Connection::ParseHead() {
  const std::size_t max = context_.options.max_header_bytes;
  if (buffer_.size() > 0) {
    parser_->header_limit(static_cast<std::uint32_t>(std::min<std::size_t>(
        max - head_bytes_, std::numeric_limits<std::uint32_t>::max())));
    error_code error;
    const std::size_t used = parser_->put(buffer_.data(), error);
    buffer_.consume(used);
    head_bytes_ += used;
    if (!error && parser_->is_header_done()) {
      OnHead();
      return;
    }
    if (error && error != bhttp::error::need_more) {
      OnReadError(error);
      return;
    }
    if (head_bytes_ >= max || buffer_.size() + kReadChunk > buffer_.max_size()) {
      OnReadError(bhttp::error::header_limit);
      return;
    }
  }
  socket_.async_read_some(buffer_.prepare(kReadChunk),
                          [self = shared_from_this()](const error_code& error, std::size_t bytes) {
                            if (self->state_ == State::kClosed) return;
                            if (error == asio::error::eof && self->parser_->got_some()) {
                              self->OnReadError(bhttp::error::partial_message);
                              return;
                            }
                            if (error) {
                              self->OnReadError(error);
                              return;
                            }
                            self->buffer_.commit(bytes);
                            self->ParseHead();
                          });
}

// The head is whole: the request goes to its handler, or its body is read
// first. A client that waits for leave to send its body gets it (its length
// is within bounds, or the head would have been refused).
void Connection::OnHead() {
  if (parser_->is_done()) {
    OnRequest();
    return;
  }
  if (boost::beast::iequals(parser_->get()[bhttp::field::expect], "100-continue")) {
    static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
    asio::async_write(socket_, asio::buffer(kContinue.data(), kContinue.size()),
                      [self = shared_from_this()](const error_code& error, std::size_t) {
                        if (self->state_ == State::kClosed) return;
                        if (error) {
                          self->Close();
                          return;
                        }
                        self->ReadBody();
                      });
    return;
  }
  ReadBody();
}

void Connection::ReadBody() {
  state_ = State::kReadingBody;
  SetDeadline(context_.options.body_deadline);
  bhttp::async_read(socket_, buffer_, *parser_, [self = shared_from_this()](const error_code& error, std::size_t) {
    if (self->state_ == State::kClosed) return;
    if (error) {
      self->OnReadError(error);
      return;
    }
    self->OnRequest();
  });
}

void Connection::OnReadError(const error_code& error) {
  const bool reading = state_ == State::kReadingHead || state_ == State::kReadingBody;
  if (timed_out_) {
    if (reading) {
      Refuse(408, "The request was not sent in time.", false);
    } else {
      Close();
    }
    return;
  }
  if (context_.stopping || !reading || error == asio::error::operation_aborted ||
      error == asio::error::eof || error == asio::error::connection_reset || error == bhttp::error::end_of_stream ||
      error == bhttp::error::partial_message) {
    Close();  // the client went, or the server is going
    return;
  }
  if (error == bhttp::error::header_limit ||
      (error == bhttp::error::buffer_overflow && state_ == State::kReadingHead)) {
    ++context_.rejected;
    Refuse(431, "The request's headers are too large.", false);
  } else if (error == bhttp::error::body_limit || error == bhttp::error::buffer_overflow) {
    ++context_.rejected;
    Refuse(413, "The request is too large.", false);
  } else {
    ++context_.rejected;
    Refuse(400, "The request was not understood.", false);
  }
}

void Connection::OnRequest() {
  state_ = State::kHandling;
  ClearDeadline();  // the handler's time is the handler's to bound
  bhttp::request<bhttp::string_body> message = parser_->release();
  parser_.reset();
  Request request;
  request.method = std::string(message.method_string());
  request.target = std::string(message.target());
  request.version = static_cast<int>(message.version());
  request.headers.reserve(16);
  for (const auto& field : message) {
    request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  }
  request.body = std::move(message.body());
  request.peer = peer_;
  request.stop = context_.stop.get_token();
  keep_alive_ = message.keep_alive();
  version_ = request.version;
  head_request_ = message.method() == bhttp::verb::head;
  ++context_.requests;

  if (context_.options.worker_threads <= 0 ||
      (context_.options.handle_inline && context_.options.handle_inline(request))) {
    Response response;
    RunHandler(context_.handler, request, response);
    Answer(std::move(response), !keep_alive_);
    return;
  }
  WorkerPool::Job job = [self = shared_from_this(), request = std::move(request),
                         fd = socket_.native_handle()](WorkerPool::Outcome outcome) {
    if (outcome == WorkerPool::Outcome::kRun && ClientLeft(fd)) {
      // Nobody waits for this answer any more: the work is not done.
      ++self->context_.abandoned;
      asio::post(self->Executor(), [self] { self->Close(); });
      return;
    }
    if (outcome != WorkerPool::Outcome::kRun) {
      const bool stopping = outcome == WorkerPool::Outcome::kDropped;
      if (!stopping) ++self->context_.rejected;
      asio::post(self->Executor(), [self, stopping] {
        self->Refuse(503, stopping ? "The server is stopping." : "The server is busy; try again in a moment.", true);
      });
      return;
    }
    Response response;
    RunHandler(self->context_.handler, request, response);
    asio::post(self->Executor(), [self, response = std::move(response)]() mutable {
      self->Answer(std::move(response), !self->keep_alive_);
    });
  };
  if (!context_.workers.TryPost(job)) {
    ++context_.rejected;
    Refuse(503, "The server is busy; try again in a moment.", true);
  }
}

void Connection::Refuse(int status, std::string_view text, bool retry_after) {
  Response response;
  response.status = status;
  if (retry_after) response.SetHeader("Retry-After", "1");
  response.SetHeader("Cache-Control", "no-store");
  response.SetContent(std::string(text) + "\n", kPlainText);
  head_request_ = false;
  Answer(std::move(response), true);
}

void Connection::Answer(Response response, bool close) {
  if (state_ == State::kClosed) return;
  state_ = State::kWriting;
  close_after_send_ = close_after_send_ || close || context_.stopping;
  int status = response.status;
  if (status < 100 || status > 999) status = 500;
  const bool no_body = head_request_ || status < 200 || status == 204 || status == 304;

  std::string head;
  head.reserve(512);
  head += "HTTP/1.1 ";
  head += std::to_string(status);
  head += ' ';
  head.append(ReasonPhrase(status));
  head += "\r\n";
  for (const HeaderField& field : context_.options.default_headers) {
    if (!HasHeader(response.Headers(), field.first)) AppendHeader(head, field.first, field.second);
  }
  for (const HeaderField& field : response.Headers()) {
    if (!IsFramingHeader(field.first)) AppendHeader(head, field.first, field.second);
  }
  if (status >= 200 && status != 204 && status != 304) {
    AppendHeader(head, "Content-Length", std::to_string(response.ContentLength()));
  }
  if (close_after_send_) {
    AppendHeader(head, "Connection", "close");
  } else if (version_ == 10) {
    AppendHeader(head, "Connection", "keep-alive");
  }
  head += "\r\n";

  out_head_ = std::move(head);
  out_body_ = no_body ? std::string() : response.TakeBody();
  out_file_ = no_body ? FileSource() : response.TakeFile();
  out_sent_ = 0;
  file_sent_ = 0;
  SendSome();
}

// The deadline is renewed by every piece the client takes: a slow reader of
// a large answer is served, one that stops reading is cut off.
void Connection::SendSome() {
  const std::size_t total = out_head_.size() + out_body_.size();
  if (out_sent_ >= total) {
    if (out_file_.IsOpen()) {
      SendFile();
    } else {
      AfterSend();
    }
    return;
  }
  std::array<asio::const_buffer, 2> pieces;
  if (out_sent_ < out_head_.size()) {
    pieces[0] = asio::buffer(out_head_.data() + out_sent_, out_head_.size() - out_sent_);
    pieces[1] = asio::buffer(out_body_);
  } else {
    pieces[0] = asio::buffer(out_body_.data() + (out_sent_ - out_head_.size()), total - out_sent_);
  }
  SetDeadline(context_.options.send_timeout);
  socket_.async_write_some(pieces, [self = shared_from_this()](const error_code& error, std::size_t bytes) {
    if (self->state_ == State::kClosed) return;
    if (error) {
      self->Close();
      return;
    }
    self->out_sent_ += bytes;
    self->SendSome();
  });
}

// A file goes a piece at a time through one buffer, so an answer of any size
// holds kFileChunk bytes of memory, and an aborted download leaves nothing.
void Connection::SendFile() {
  if (file_sent_ >= out_file_.Size()) {
    out_file_ = FileSource();
    AfterSend();
    return;
  }
  if (file_buffer_.empty()) file_buffer_.resize(kFileChunk);
  const std::uint64_t left = out_file_.Size() - file_sent_;
  const ssize_t got = ::pread(out_file_.Descriptor(), file_buffer_.data(),
                              static_cast<std::size_t>(std::min<std::uint64_t>(left, kFileChunk)),
                              static_cast<off_t>(file_sent_));
  if (got <= 0) {
    // The file shrank or cannot be read: the length announced cannot be
    // met, so the connection closes (the client sees a short answer, never
    // another answer's bytes taken for the rest of this one).
    Close();
    return;
  }
  SetDeadline(context_.options.send_timeout);
  asio::async_write(socket_, asio::buffer(file_buffer_.data(), static_cast<std::size_t>(got)),
                    [self = shared_from_this()](const error_code& error, std::size_t bytes) {
                      if (self->state_ == State::kClosed) return;
                      if (error) {
                        self->Close();
                        return;
                      }
                      self->file_sent_ += bytes;
                      self->SendFile();
                    });
}

void Connection::AfterSend() {
  out_head_.clear();
  out_body_ = std::string();  // a large answer's memory goes with it
  std::vector<char>().swap(file_buffer_);
  if (close_after_send_ || context_.stopping) {
    state_ = State::kClosing;
    error_code ignored;
    socket_.shutdown(Socket::shutdown_send, ignored);
    // Once, not per read: a client that keeps sending cannot stretch it.
    SetDeadline(kLingerTime);
    buffer_.clear();
    Linger();
    return;
  }
  first_request_ = false;
  WaitForRequest();
}

void Connection::Linger() {
  socket_.async_read_some(buffer_.prepare(kReadChunk),
                          [self = shared_from_this()](const error_code& error, std::size_t bytes) {
                            if (self->state_ == State::kClosed) return;
                            self->linger_read_ += bytes;
                            if (error || self->linger_read_ >= kLingerBytes) {
                              self->Close();
                            } else {
                              self->Linger();
                            }
                          });
}

void Connection::CheckDeadline() {
  const std::int64_t deadline = Deadline();
  if (deadline == 0 || state_ == State::kClosed || state_ == State::kHandling) return;
  if (Clock::now().time_since_epoch() < std::chrono::nanoseconds(deadline)) return;
  ClearDeadline();
  timed_out_ = true;
  ++context_.timed_out;
  if (state_ == State::kReadingHead || state_ == State::kReadingBody) {
    // The read ends with operation_aborted and OnReadError answers 408.
    error_code ignored;
    socket_.cancel(ignored);
  } else {
    Close();
  }
}

void Connection::OnStop() {
  if (state_ == State::kHandling || state_ == State::kWriting) {
    close_after_send_ = true;
  } else {
    Close();
  }
}

void Connection::Close() {
  if (state_ == State::kClosed) return;
  state_ = State::kClosed;
  ClearDeadline();
  error_code ignored;
  socket_.shutdown(Socket::shutdown_both, ignored);
  socket_.close(ignored);
  ticket_.reset();  // the connection's place is free at once
  if (refused_) --context_.refusing;
  // The parser and the buffer stay until the connection goes: an operation
  // being cancelled may still refer to them.
}

}  // namespace zarel::http
