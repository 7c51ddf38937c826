// A minimal X session manager for tests, over libSM and ICE. It listens for clients, prints
// "listening <SESSION_MANAGER value>", then "registered" for each client that registers.
// Commands on standard input, one per line, go to every client:
//   checkpoint   SaveYourself without shutdown: save, and go on
//   logout       SaveYourself with shutdown: save before the session ends
//   cancel       ShutdownCancelled: the logout will not happen after all
//   die          Die: the session ends now
// It prints "saved" for each SaveYourselfDone and "closed" when a client goes. No client
// needs to authenticate: every host is accepted.

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::vector<SmsConn> clients;
std::vector<IceConn> connections;

void Say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

Bool AcceptEveryHost(char* /*hostName*/)
{
    return True;
}

Status RegisterClient(SmsConn client, SmPointer /*data*/, char* previousId)
{
    std::free(previousId);
    char* id = SmsGenerateClientID(client);
    const Status status = SmsRegisterClientReply(client, id);
    std::free(id);
    Say("registered");
    return status;
}

void InteractRequest(SmsConn client, SmPointer /*data*/, int /*dialogType*/)
{
    SmsInteract(client);
}

void InteractDone(SmsConn /*client*/, SmPointer /*data*/, Bool /*cancelShutdown*/) {}

void SaveYourselfRequest(SmsConn client, SmPointer /*data*/, int saveType, Bool shutdown,
                         int interactStyle, Bool fast, Bool /*global*/)
{
    SmsSaveYourself(client, saveType, shutdown, interactStyle, fast);
}

void SaveYourselfPhase2Request(SmsConn client, SmPointer /*data*/)
{
    SmsSaveYourselfPhase2(client);
}

void SaveYourselfDone(SmsConn /*client*/, SmPointer /*data*/, Bool /*success*/)
{
    Say("saved");
}

void CloseConnection(SmsConn client, SmPointer /*data*/, int count, char** reasons)
{
    SmFreeReasons(count, reasons);
    clients.erase(std::remove(clients.begin(), clients.end(), client), clients.end());
    IceConn connection = SmsGetIceConnection(client);
    SmsCleanUp(client);
    IceSetShutdownNegotiation(connection, False);
    IceCloseConnection(connection);
    connections.erase(std::remove(connections.begin(), connections.end(), connection),
                      connections.end());
    Say("closed");
}

void SetProperties(SmsConn /*client*/, SmPointer /*data*/, int count, SmProp** properties)
{
    for (int i = 0; i < count; ++i)
        SmFreeProperty(properties[i]);
    std::free(properties);
}

void DeleteProperties(SmsConn /*client*/, SmPointer /*data*/, int count, char** names)
{
    for (int i = 0; i < count; ++i)
        std::free(names[i]);
    std::free(names);
}

void GetProperties(SmsConn client, SmPointer /*data*/)
{
    SmsReturnProperties(client, 0, nullptr);
}

Status NewClient(SmsConn client, SmPointer /*data*/, unsigned long* mask, SmsCallbacks* callbacks,
                 char** /*failureReason*/)
{
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    callbacks->register_client.callback = RegisterClient;
    callbacks->interact_request.callback = InteractRequest;
    callbacks->interact_done.callback = InteractDone;
    callbacks->save_yourself_request.callback = SaveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = SaveYourselfPhase2Request;
    callbacks->save_yourself_done.callback = SaveYourselfDone;
    callbacks->close_connection.callback = CloseConnection;
    callbacks->set_properties.callback = SetProperties;
    callbacks->delete_properties.callback = DeleteProperties;
    callbacks->get_properties.callback = GetProperties;
    clients.push_back(client);
    return 1;
}

void Command(const std::string& line)
{
    for (SmsConn client : std::vector<SmsConn>(clients)) {
        if (line == "checkpoint")
            SmsSaveYourself(client, SmSaveBoth, False, SmInteractStyleNone, False);
        else if (line == "logout")
            SmsSaveYourself(client, SmSaveBoth, True, SmInteractStyleNone, False);
        else if (line == "cancel")
            SmsShutdownCancelled(client);
        else if (line == "die")
            SmsDie(client);
    }
}

// A client that went without closing its session: its connection closed under it.
void Drop(IceConn connection)
{
    for (SmsConn client : std::vector<SmsConn>(clients)) {
        if (SmsGetIceConnection(client) == connection) {
            clients.erase(std::remove(clients.begin(), clients.end(), client), clients.end());
            SmsCleanUp(client);
        }
    }
    connections.erase(std::remove(connections.begin(), connections.end(), connection),
                      connections.end());
    IceSetShutdownNegotiation(connection, False);
    IceCloseConnection(connection);
    Say("closed");
}

// ICE's own handler ends the process when a connection breaks; here that is a client gone.
void IgnoreBrokenConnection(IceConn /*connection*/) {}

} // namespace

int main()
{
    IceSetIOErrorHandler(IgnoreBrokenConnection);
    char error[256] = {};
    if (!SmsInitialize("tessellon-tests", "1.0", NewClient, nullptr, AcceptEveryHost, sizeof error,
                       error)) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error);
        return 1;
    }
    int listenCount = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&listenCount, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 1;
    }
    for (int i = 0; i < listenCount; ++i)
        IceSetHostBasedAuthProc(listeners[i], AcceptEveryHost);
    char* ids = IceComposeNetworkIdList(listenCount, listeners);
    std::printf("listening %s\n", ids);
    std::fflush(stdout);
    std::free(ids);

    for (;;) {
        std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}};
        for (int i = 0; i < listenCount; ++i)
            fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        for (IceConn connection : connections)
            fds.push_back({IceConnectionNumber(connection), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            return 1;
        if (fds[0].revents != 0) {
            std::string line;
            if (!std::getline(std::cin, line))
                return 0;
            Command(line);
        }
        for (int i = 0; i < listenCount; ++i) {
            if (fds[size_t(i) + 1].revents == 0)
                continue;
            IceAcceptStatus status = IceAcceptSuccess;
            if (IceConn connection = IceAcceptConnection(listeners[i], &status))
                connections.push_back(connection);
        }
        const std::vector<IceConn> served(connections);
        for (size_t i = 0; i < served.size(); ++i) {
            if (fds[size_t(1 + listenCount) + i].revents == 0)
                continue;
            const IceProcessMessagesStatus status = IceProcessMessages(served[i], nullptr, nullptr);
            const bool gone =
                std::find(connections.begin(), connections.end(), served[i]) == connections.end();
            if (status != IceProcessMessagesSuccess && !gone)
                Drop(served[i]);
        }
    }
}
