#include "monitor/live_link_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "monitor/live_link.h"
#include "monitor/monitor_reader_win32.h"
#include "monitor/monitor_resource.h"
#include "monitor/monitor_settings.h"

namespace {

bool winsockStarted;
SOCKET linkSocket = INVALID_SOCKET;
sockaddr_storage receiver;
int receiverSize;
HANDLE lookup;                          // the lookup of the receiver's name under way, or null
char lookupAnswer[MAXGETHOSTSTRUCT];    // where the system writes its answer
double linkStartedAt;  // /VMC/Ext/T counts from here, reader's clock
LinkSchedule schedule;
char linkText[400];    // the status text's part: where it sends, or why it cannot
bool sendFailed;       // the last bundle did not leave: the status says so until one does

void sayLink(const char* format, const char* host) {
    std::snprintf(linkText, sizeof linkText, format, host, monitorSettings.link.port);
}

// "送信中 127.0.0.1:39539", an IPv6 address in brackets before its port.
void saySending(bool failed) {
    const char* host = monitorSettings.link.host;
    const bool v6 = std::strchr(host, ':') != nullptr;
    sayLink(failed ? (v6 ? "[%s]:%d に送信できません。" : "%s:%d に送信できません。") : (v6 ? "送信中 [%s]:%d" : "送信中 %s:%d"),
            host);
    sendFailed = failed;
}

// A numeric address (IPv4 or IPv6) as it stands, at once and without asking
// any name server. Returns 0 for a name.
int numericReceiver() {
    char port[8];
    std::snprintf(port, sizeof port, "%d", monitorSettings.link.port);
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    addrinfo* found = nullptr;
    if (getaddrinfo(monitorSettings.link.host, port, &hints, &found) != 0 || found == nullptr) return 0;
    std::memcpy(&receiver, found->ai_addr, found->ai_addrlen);
    receiverSize = static_cast<int>(found->ai_addrlen);
    freeaddrinfo(found);
    return 1;
}

// The receiver's address is known: the socket, and the frames from now on.
void openLink(HWND window) {
    const LinkSettings& link = monitorSettings.link;
    linkSocket = socket(receiver.ss_family, SOCK_DGRAM, IPPROTO_UDP);
    if (linkSocket == INVALID_SOCKET) {
        sayLink("送信用のソケットを開けません。", link.host);
        return;
    }
    saySending(false);
    linkStartedAt = readerSeconds();
    startLinkSchedule(schedule, linkStartedAt);
    if (link.smooth) SetTimer(window, linkTimer, 1, nullptr);
}

// A name is looked up by the system, so that a slow name server never holds
// the window (nor, through it, the reader's frames) up; the lookup gives the
// name's IPv4 address. An IPv6 receiver is given by its address.
void startLink(HWND window) {
    const char* host = monitorSettings.link.host;
    if (!winsockStarted) {
        WSADATA data;
        winsockStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    if (!winsockStarted) {
        sayLink("送信用のソケットを開けません。", host);
        return;
    }
    if (numericReceiver()) {
        openLink(window);
        return;
    }
    lookup = WSAAsyncGetHostByName(window, linkFoundMessage, host, lookupAnswer, sizeof lookupAnswer);
    sayLink(lookup != nullptr ? "送信先 (%s) を調べています。" : "送信先 (%s) が見付かりません。", host);
}

void stopLink(HWND window) {
    if (lookup != nullptr) WSACancelAsyncRequest(lookup);
    lookup = nullptr;
    KillTimer(window, linkTimer);
    if (linkSocket != INVALID_SOCKET) closesocket(linkSocket);
    linkSocket = INVALID_SOCKET;
    linkText[0] = '\0';
}

// One bundle, sent whole or not at all. A receiver that is not listening
// costs nothing: UDP does not wait for it. A network that cannot reach the
// receiver (unplugged, no route) is said in the status until a bundle leaves.
void sendFrame(const VmcFrame& frame) {
    static OscPacket packet;
    if (!writeVmcBundle(frame, readerSeconds() - linkStartedAt, packet)) return;
    const bool failed = sendto(linkSocket, reinterpret_cast<const char*>(packet.bytes), packet.size, 0,
                               reinterpret_cast<const sockaddr*>(&receiver), receiverSize) == SOCKET_ERROR;
    if (failed != sendFailed) saySending(failed);
}

}  // namespace

void initLink(HWND window) {
    CheckDlgButton(window, IDC_LINK, monitorSettings.link.enabled ? BST_CHECKED : BST_UNCHECKED);
    if (monitorSettings.link.enabled) startLink(window);
}

void onLinkCommand(HWND window) {
    stopLink(window);
    if (IsDlgButtonChecked(window, IDC_LINK) == BST_CHECKED) startLink(window);
}

void onLinkFound(HWND window, WPARAM found, LPARAM result) {
    // The answer to a lookup since given up (the box unchecked meanwhile) is not this one's.
    if (lookup == nullptr || reinterpret_cast<HANDLE>(found) != lookup) return;
    lookup = nullptr;
    const hostent* answer = reinterpret_cast<const hostent*>(lookupAnswer);
    if (WSAGETASYNCERROR(result) != 0 || answer->h_addrtype != AF_INET || answer->h_addr_list[0] == nullptr) {
        sayLink("送信先 (%s) が見付かりません。", monitorSettings.link.host);
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(monitorSettings.link.port));
    std::memcpy(&address.sin_addr, answer->h_addr_list[0], sizeof address.sin_addr);
    std::memcpy(&receiver, &address, sizeof address);
    receiverSize = sizeof address;
    openLink(window);
}

void linkTakeFrame(const MonitorFrame& frame, const FigureFrame& figure) {
    if (linkSocket == INVALID_SOCKET) return;
    VmcFrame bones;
    vmcFrameOf(figure, bones);
    if (!monitorSettings.link.smooth) {
        sendFrame(bones);
        return;
    }
    // The frame counts as read when its last node was: the rows without a node read at 0.
    double readAt = 0.0;
    for (double at : frame.readAt)
        if (at > readAt) readAt = at;
    scheduleFrame(schedule, bones, readAt);
}

void onLinkTimer(HWND window) {
    if (linkSocket == INVALID_SOCKET) return;
    VmcFrame frame;
    if (dueFrame(schedule, readerSeconds(), frame)) sendFrame(frame);
    const double wait = schedule.nextSendAt - readerSeconds();
    SetTimer(window, linkTimer, wait > 0.001 ? static_cast<UINT>(std::ceil(wait * 1000)) : 1, nullptr);
}

void linkStatus(char* text, int size) {
    std::snprintf(text, static_cast<std::size_t>(size), "%s%s", linkText, linkText[0] != '\0' ? "　" : "");
}

void endLink(HWND window) {
    stopLink(window);
    if (winsockStarted) WSACleanup();
    winsockStarted = false;
}
