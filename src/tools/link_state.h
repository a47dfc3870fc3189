#pragma once
// The live state of each bridge's link, read from the system's TCP table: whether the hub holds
// an established connection to the bridge's server. Usable with or without a window.
#include "tools/link_match.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A bridge's server as the bridge gives it: a dotted IPv4 address or a host name, and a port.
struct TLinkTarget {
    std::string Host;
    int Port = 0;
};

// The established IPv4 connections of the system; none when the table cannot be read.
std::vector<TTcpConnection> EstablishedConnections();

// The address of a server, never waiting for the resolver: a dotted address is read at once;
// a host name is looked up on a worker thread, and its address is given once that has answered.
// Until then, and for a while after the resolver failed (the name is then tried again), nothing.
std::optional<std::uint32_t> ResolveHost(const std::string& host);

// Forgets every resolved name, so that each is looked up afresh (at every start of the bridges).
void ForgetResolvedHosts();

// The state of each target's link, in order: stopped without a running hub; otherwise connected
// when the hub (or, where the system names no owners, any process) holds an established
// connection to the target's address and port, and waiting else, also while a host name
// resolves. Takes well under a millisecond per target and never waits for the resolver.
std::vector<TLinkState> LinkStates(const std::vector<TLinkTarget>& targets, bool hubRunning);
