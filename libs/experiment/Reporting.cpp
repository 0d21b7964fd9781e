#include "Reporting.h"

#include <iostream>

namespace
{

thread_local ReportScope *innermost = nullptr;

} // namespace

ReportScope::ReportScope(MessageSink sink)
    : sink(std::move(sink))
    , outer(innermost)
{
    innermost = this;
}

ReportScope::~ReportScope()
{
    innermost = outer;
}

void reportMessage(const std::string &message)
{
    ReportScope *scope = innermost;
    if (!scope) {
        std::cerr << message << std::endl;
        return;
    }
    if (scope->sink) {
        scope->sink(message);
        return;
    }
    if (!scope->reported.insert(message).second)
        return;
    // Passed on as if from the enclosing scope.
    innermost = scope->outer;
    reportMessage(message);
    innermost = scope;
}
