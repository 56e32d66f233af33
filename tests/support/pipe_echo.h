// PipeEcho: a pipe-service handler for tests and the load check. It waits
// for a client on the thread's endpoint, answers every message M with
// "echo:M" until the client leaves (its last messages answered first), an
// answer is not read, or the service stops, then disconnects.
#ifndef TESTS_SUPPORT_PIPE_ECHO_H_
#define TESTS_SUPPORT_PIPE_ECHO_H_

class CPipeService;

void PipeEcho(CPipeService* service);

#endif  // TESTS_SUPPORT_PIPE_ECHO_H_
