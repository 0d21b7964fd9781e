#pragma once
// The one way the engine tells the user something that is not the answer to a
// call: a step list longer than the reversals allow, clamps the wrong way round,
// a key missing from a parameter file. The engine never writes to a stream
// itself; it calls reportMessage, and the innermost ReportScope of the calling
// thread decides where the message goes. Without a scope it goes to standard
// error, one line per message.
//
// A scope with a sink of its own hands it every message: the batch program and
// the tests open one to keep or look at messages. A scope without one passes
// each distinct message on once to the enclosing scope: a run opens such a
// scope, so it reports a message once however many repetitions meet it.

#include <functional>
#include <set>
#include <string>

// Receives one message, without a line end.
using MessageSink = std::function<void(const std::string &message)>;

void reportMessage(const std::string &message);

class ReportScope
{
public:
    // Without a sink, each distinct message goes on once to the enclosing scope (or standard error).
    explicit ReportScope(MessageSink sink = {});
    ~ReportScope();
    ReportScope(const ReportScope &) = delete;
    ReportScope &operator=(const ReportScope &) = delete;

private:
    friend void reportMessage(const std::string &message);
    MessageSink sink;
    std::set<std::string> reported;
    ReportScope *outer;
};
