#pragma once
// The hub's command line: what its arguments mean, turned into a model of ports, filters and
// routes, and back. Pure text work.
//
// Ports are the arguments that are no options, numbered from 0 in order. "--use-driver=" picks
// the driver of the ports after it; "--baud=" and "--ito=" apply to later serial ports,
// "--reconnect=" to later tcp ports. Filters are defined by "--create-filter=" and attached to
// ports by "--add-filters="; "--bi-route=" joins a serial port and a tcp port both ways. Every
// bridge is one such route with the filters on its serial port; a bridge with port control has
// a fixed chain of filters on each of its two ports as well (see FilterType).
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace hub {

enum class Driver { Serial, Tcp };

struct Port {
    Driver driver = Driver::Serial;
    std::string path;               // serial: "\\.\CNCA" and a number
    std::optional<int> baud;        // serial: from the last "--baud=" before it
    std::optional<int> ito;         // serial: read interval time-out in ms, "--ito="
    std::string host;               // tcp: server name or address
    int tcpPort = 0;                // tcp: 1 to 65535
    std::optional<int> reconnect;   // tcp: ms between tries, "--reconnect="

    bool operator==(const Port& o) const {
        return std::tie(driver, path, baud, ito, host, tcpPort, reconnect) ==
               std::tie(o.driver, o.path, o.baud, o.ito, o.host, o.tcpPort, o.reconnect);
    }
};

// "pinmap" drives DTR from the connection ("--dtr=connect"); "pin2con" connects while a modem
// signal is on and disconnects after it has been off for the delay. The others are the links of
// the port-control chains, each named ("<type>,<id>,<name>") and with its options fixed: on the
// serial port the filters of id "com<n>", escparse "parse" then linectl "lc"
// ("--br=local --lc=local"); on the tcp port those of id "tcp<n>", telnet "telnet"
// ("--comport=client"), pinmap "pinmap" ("--rts=cts --dtr=dsr --break=break") then linectl "lc"
// ("--br=remote --lc=remote"). The hub takes them whole or not at all: the server's port follows
// the serial port's settings over telnet.
enum class FilterType { PinMap, PinToCon, EscParse, LocalLineControl, Telnet, SignalMap, RemoteLineControl };
enum class Signal { Dsr, Cts, Dcd, Ring };

struct Filter {
    FilterType type = FilterType::PinMap;
    std::string id;
    Signal connect = Signal::Dsr;              // pin2con
    std::optional<int> delayDisconnect;        // pin2con, ms

    bool operator==(const Filter& o) const {
        return std::tie(type, id, connect, delayDisconnect) == std::tie(o.type, o.id, o.connect, o.delayDisconnect);
    }
};

struct Attachment {  // one "--add-filters=": a filter on some ports, in the order given
    std::vector<int> ports;
    std::string filter;

    bool operator==(const Attachment& o) const { return ports == o.ports && filter == o.filter; }
};

struct Route {  // "--bi-route=a:b"
    int a = 0;
    int b = 0;

    bool operator==(const Route& o) const { return a == o.a && b == o.b; }
};

struct Model {
    bool noDefaultFlowControlRoute = false;  // "--no-default-fc-route=All:All"
    std::vector<Port> ports;
    std::vector<Filter> filters;
    std::vector<Attachment> attachments;
    std::vector<Route> routes;

    bool operator==(const Model& o) const {
        return std::tie(noDefaultFlowControlRoute, ports, filters, attachments, routes) ==
               std::tie(o.noDefaultFlowControlRoute, o.ports, o.filters, o.attachments, o.routes);
    }
};

struct ParseResult {
    std::optional<Model> model;  // set when the line was accepted
    std::string error;           // else why not
};

// Parses the arguments after the program's name, as the usual Windows splitting gives them
// (double quotes removed, so a filter's options arrive as one argument).
ParseResult ParseArguments(const std::vector<std::string>& args);

// The arguments that give back the model, in a fixed order: the global option, the filters,
// their attachments, the routes, then the ports with the settings that change before each.
std::vector<std::string> BuildArguments(const Model& model);

// The same as one command-line text (no program name): a filter's options stand in double
// quotes when they hold a blank.
std::string BuildLine(const Model& model);

struct Bridge {
    int serialPort = 0;  // hub port numbers
    int tcpPort = 0;
    std::string path;
    std::optional<int> baud;
    std::optional<int> ito;
    std::string host;
    int port = 0;
    std::optional<int> reconnect;
    bool dtrOnConnect = false;            // a pinmap filter on the serial port
    std::optional<Signal> connect;        // none: always connected
    int delayDisconnect = 0;              // ms
    bool portControl = false;             // the port-control chains on both ports
};

// The bridges of an accepted model: one per route, in route order.
std::vector<Bridge> Bridges(const Model& model);

// One line for the log: serial port, baud, interval time-out, server, connect signal, delay,
// port control.
std::string Describe(const Bridge& bridge);

const char* SignalName(Signal signal);  // "dsr", "cts", "dcd", "ring"

}  // namespace hub
