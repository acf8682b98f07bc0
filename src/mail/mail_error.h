#pragma once
// What a mail transport reports beyond an ordinary failure, whichever service it talks to.
#include "platform/error.h"

namespace velkaro {

// The mail was handed to the mail service and its answer was lost (the connection
// broke, the answer timed out): it may have gone out. The mailing workflow records it
// as "UNKLAR" and never sends it again unasked.
class EMailOutcomeUnknown : public Exception {
public:
    using Exception::Exception;
};

} // namespace velkaro
