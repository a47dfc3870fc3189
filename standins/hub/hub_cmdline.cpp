#include "hub/hub_cmdline.h"

#include "common/decimal.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

namespace hub {

namespace {

constexpr std::string_view SerialPrefix = "\\\\.\\CNCA";
constexpr std::string_view AllFlowControl = "All:All";
constexpr std::string_view DtrOnConnect = "--dtr=connect";
constexpr std::string_view ConnectOption = "--connect=";
constexpr std::string_view DelayOption = "--delay-disconnect=";

const char* const SignalNames[] = {"dsr", "cts", "dcd", "ring"};  // in the order of Signal

// Every filter type as a line writes it; a named one is a link of a port-control chain, with its
// name, its options and its port's driver. In the order of FilterType.
struct FilterKind {
    const char* type;
    const char* name;     // none: pinmap, pin2con
    const char* options;  // the chain link's, whole
    Driver side;
};
const FilterKind Kinds[] = {
    {"pinmap", nullptr, nullptr, Driver::Serial},
    {"pin2con", nullptr, nullptr, Driver::Serial},
    {"escparse", "parse", "", Driver::Serial},
    {"linectl", "lc", "--br=local --lc=local", Driver::Serial},
    {"telnet", "telnet", "--comport=client", Driver::Tcp},
    {"pinmap", "pinmap", "--rts=cts --dtr=dsr --break=break", Driver::Tcp},
    {"linectl", "lc", "--br=remote --lc=remote", Driver::Tcp},
};
const FilterKind& KindOf(FilterType type) { return Kinds[static_cast<int>(type)]; }
bool IsChainLink(FilterType type) { return KindOf(type).name != nullptr; }

// A chain's links in order, for the serial port (id "com<n>") and for the tcp port ("tcp<n>").
const std::vector<FilterType> SerialChain = {FilterType::EscParse, FilterType::LocalLineControl};
const std::vector<FilterType> TcpChain = {FilterType::Telnet, FilterType::SignalMap, FilterType::RemoteLineControl};
constexpr std::string_view SerialChainPrefix = "com";
constexpr std::string_view TcpChainPrefix = "tcp";

struct LineError { std::string message; };

[[noreturn]] void Fail(std::string message) { throw LineError{std::move(message)}; }

std::string Q(std::string_view text) { return "'" + std::string(text) + "'"; }

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

int NumberIn(std::string_view text, int min, int max, std::string_view arg) {
    std::optional<std::int32_t> n = standin::ReadDecimal(text, min, max);
    if (!n)
        Fail(Q(text) + " in " + Q(arg) + " is not a number from " + std::to_string(min) + " to " + std::to_string(max));
    return *n;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

bool IsFilterId(std::string_view id) {
    for (char c : id)
        if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9')) return false;
    return !id.empty();
}

// The port follows the last colon, so a host may hold colons of its own ("[::1]").
bool IsHostName(std::string_view host) {
    if (host.empty()) return false;
    for (char c : host) {
        auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7f || c == '"') return false;
    }
    return true;
}

const char* TypeName(FilterType type) { return KindOf(type).type; }

// The n of a chain's id ("com3" and "tcp3" give "3"), or nothing for an id of another form.
std::optional<std::string_view> ChainNumber(std::string_view id, std::string_view prefix) {
    if (!StartsWith(id, prefix) || !standin::ReadDecimal(id.substr(prefix.size()), 0)) return std::nullopt;
    return id.substr(prefix.size());
}

std::string PortName(const Port& port) {
    return port.driver == Driver::Serial ? port.path : port.host + ":" + std::to_string(port.tcpPort);
}

class Parser {
public:
    Model Run(const std::vector<std::string>& args) {
        for (const std::string& arg : args) {
            if (StartsWith(arg, "-")) Option(arg);
            else AddPort(arg);
        }
        Check();
        return std::move(m_);
    }

private:
    void Option(const std::string& arg) {
        std::size_t eq = arg.find('=');
        std::string_view name = std::string_view(arg).substr(0, eq == std::string::npos ? eq : eq + 1);
        std::string_view value = std::string_view(arg).substr(name.size());
        if (name == "--use-driver=" && value == "serial") driver_ = Driver::Serial;
        else if (name == "--use-driver=" && value == "tcp") driver_ = Driver::Tcp;
        else if (name == "--use-driver=") Fail("Unknown driver " + Q(value) + " in " + Q(arg));
        else if (name == "--baud=") baud_ = NumberIn(value, 1, INT_MAX, arg);
        else if (name == "--ito=") ito_ = NumberIn(value, 0, INT_MAX, arg);
        else if (name == "--reconnect=") reconnect_ = NumberIn(value, 0, INT_MAX, arg);
        else if (name == "--create-filter=") CreateFilter(value, arg);
        else if (name == "--add-filters=") AddFilters(value, arg);
        else if (name == "--bi-route=") BiRoute(value, arg);
        else if (name == "--no-default-fc-route=" && value == AllFlowControl) m_.noDefaultFlowControlRoute = true;
        else Fail("Unknown option " + Q(arg));
    }

    void AddPort(const std::string& arg) {
        if (!driver_) Fail("Port " + Q(arg) + " comes before any --use-driver=");
        Port port;
        port.driver = *driver_;
        if (port.driver == Driver::Serial) {
            std::string_view path = arg;
            if (!StartsWith(path, SerialPrefix) || !standin::ReadDecimal(path.substr(SerialPrefix.size()), 0))
                Fail("Serial port " + Q(arg) + " is not \\\\.\\CNCA followed by a number");
            port.path = arg;
            port.baud = baud_;
            port.ito = ito_;
        } else {
            std::size_t colon = arg.rfind(':');
            if (colon == std::string::npos || colon + 1 == arg.size()) Fail("Server " + Q(arg) + " has no port");
            std::string_view host = std::string_view(arg).substr(0, colon);
            if (!IsHostName(host)) Fail("Server " + Q(arg) + " has no valid host name");
            port.host = std::string(host);
            port.tcpPort = NumberIn(std::string_view(arg).substr(colon + 1), 1, 65535, arg);
            port.reconnect = reconnect_;
        }
        m_.ports.push_back(std::move(port));
    }

    // <type>[,<id>]:<options>, the options separated by blanks.
    void CreateFilter(std::string_view value, const std::string& arg) {
        std::size_t colon = value.find(':');
        std::string_view head = value.substr(0, colon);
        std::string_view options = colon == std::string_view::npos ? std::string_view() : value.substr(colon + 1);
        std::size_t comma = head.find(',');
        std::string_view type = head.substr(0, comma);
        std::string_view id = comma == std::string_view::npos ? type : head.substr(comma + 1);
        std::optional<std::string_view> name;
        if (std::size_t second = id.find(','); second != std::string_view::npos) {
            name = id.substr(second + 1);
            id = id.substr(0, second);
        }

        Filter filter;
        if (type == "pinmap" && !name) filter.type = FilterType::PinMap;
        else if (type == "pin2con" && !name) filter.type = FilterType::PinToCon;
        else filter.type = ChainLink(type, name, options, arg);
        if (!IsFilterId(id)) Fail("Bad filter name " + Q(id) + " in " + Q(arg));
        filter.id = std::string(id);
        // The links of one chain share its id; any other filter has an id of its own.
        for (const Filter& f : m_.filters)
            if (f.id == filter.id && (!IsChainLink(f.type) || !IsChainLink(filter.type) || f.type == filter.type))
                Fail("Filter " + Q(id) + " is defined twice");
        if (IsChainLink(filter.type)) {
            m_.filters.push_back(std::move(filter));
            return;
        }

        bool dtr = false, connect = false;
        for (std::string_view option : Split(options, ' ')) {
            if (option.empty()) continue;
            bool repeated = false;
            if (filter.type == FilterType::PinMap && option == DtrOnConnect) {
                repeated = std::exchange(dtr, true);
            } else if (filter.type == FilterType::PinToCon && StartsWith(option, ConnectOption)) {
                repeated = std::exchange(connect, true);
                filter.connect = SignalOf(option.substr(ConnectOption.size()), arg);
            } else if (filter.type == FilterType::PinToCon && StartsWith(option, DelayOption)) {
                repeated = filter.delayDisconnect.has_value();
                filter.delayDisconnect = NumberIn(option.substr(DelayOption.size()), 0, INT_MAX, arg);
            } else {
                Fail("Unknown filter option " + Q(option) + " in " + Q(arg));
            }
            if (repeated) Fail("Filter option " + Q(option) + " is given twice in " + Q(arg));
        }
        if (filter.type == FilterType::PinMap && !dtr) Fail("Filter " + Q(id) + " needs --dtr=connect");
        if (filter.type == FilterType::PinToCon && !connect) Fail("Filter " + Q(id) + " needs --connect=");
        m_.filters.push_back(std::move(filter));
    }

    // The chain link of that type and name, whose options must be its own to the byte.
    static FilterType ChainLink(std::string_view type, std::optional<std::string_view> name,
                                std::string_view options, std::string_view arg) {
        bool known = false, named = false;
        for (int i = 0; i < static_cast<int>(std::size(Kinds)); ++i) {
            const FilterKind& kind = Kinds[i];
            if (type != kind.type) continue;
            known = true;
            if (!kind.name || !name || *name != kind.name) continue;
            named = true;
            if (options == kind.options) return static_cast<FilterType>(i);
        }
        if (!known) Fail("Unknown filter type " + Q(type) + " in " + Q(arg));
        if (!named) Fail("Unknown filter name " + Q(name.value_or("")) + " for " + Q(type) + " in " + Q(arg));
        Fail("Unknown filter options " + Q(options) + " in " + Q(arg));
    }

    static Signal SignalOf(std::string_view word, std::string_view arg) {
        for (int i = 0; i < 4; ++i)
            if (word == SignalNames[i]) return static_cast<Signal>(i);
        Fail("Unknown signal " + Q(word) + " in " + Q(arg));
    }

    // <port>[,<port>...]:<id>
    void AddFilters(std::string_view value, const std::string& arg) {
        std::size_t colon = value.find(':');
        if (colon == std::string_view::npos) Fail("No filter named in " + Q(arg));
        Attachment attachment;
        for (std::string_view port : Split(value.substr(0, colon), ','))
            attachment.ports.push_back(NumberIn(port, 0, INT_MAX, arg));
        attachment.filter = std::string(value.substr(colon + 1));
        m_.attachments.push_back(std::move(attachment));
        attachmentArgs_.push_back(arg);
    }

    // <port>:<port>
    void BiRoute(std::string_view value, const std::string& arg) {
        std::size_t colon = value.find(':');
        if (colon == std::string_view::npos) Fail("Route " + Q(arg) + " does not name two ports");
        Route route;
        route.a = NumberIn(value.substr(0, colon), 0, INT_MAX, arg);
        route.b = NumberIn(value.substr(colon + 1), 0, INT_MAX, arg);
        m_.routes.push_back(route);
        routeArgs_.push_back(arg);
    }

    void CheckPort(int port, const std::string& arg) const {
        if (port >= static_cast<int>(m_.ports.size()))
            Fail("Port " + std::to_string(port) + " in " + Q(arg) + " does not exist (" +
                 std::to_string(m_.ports.size()) + " ports given)");
    }

    // What can be checked only once every argument is known: the routes and filters may name
    // ports and filters that come later on the line.
    void Check() const {
        if (m_.ports.empty()) Fail("No ports given");

        CheckChains();

        // Per port: which filter of each type it carries, and the id of its chain.
        std::vector<const Filter*> pinmap(m_.ports.size()), pin2con(m_.ports.size());
        std::vector<std::string> chain(m_.ports.size());
        std::vector<std::string> attachedChains;
        for (std::size_t i = 0; i < m_.attachments.size(); ++i) {
            const Attachment& at = m_.attachments[i];
            const std::string& arg = attachmentArgs_[i];
            const Filter* filter = nullptr;
            for (const Filter& f : m_.filters)
                if (f.id == at.filter) filter = &f;
            if (!filter) Fail("Filter " + Q(at.filter) + " in " + Q(arg) + " is not defined");
            const bool isChain = IsChainLink(filter->type);
            if (isChain) {
                if (at.ports.size() != 1 ||
                    std::find(attachedChains.begin(), attachedChains.end(), at.filter) != attachedChains.end())
                    Fail("Filters " + Q(at.filter) + " go on more than one port in " + Q(arg));
                attachedChains.push_back(at.filter);
            }
            for (int p : at.ports) {
                CheckPort(p, arg);
                if (m_.ports[p].driver != KindOf(filter->type).side)
                    Fail("Port " + std::to_string(p) + " in " + Q(arg) + " is not a " +
                         (KindOf(filter->type).side == Driver::Serial ? "serial" : "tcp") + " port");
                if (isChain) {
                    if (!chain[p].empty())
                        Fail("Port " + std::to_string(p) + " gets a second chain in " + Q(arg));
                    chain[p] = at.filter;
                    continue;
                }
                auto& slot = filter->type == FilterType::PinMap ? pinmap[p] : pin2con[p];
                if (slot)
                    Fail("Port " + std::to_string(p) + " gets a second " + TypeName(filter->type) + " filter in " +
                         Q(arg));
                slot = filter;
            }
        }

        std::vector<bool> routed(m_.ports.size());
        for (std::size_t i = 0; i < m_.routes.size(); ++i) {
            const Route& r = m_.routes[i];
            const std::string& arg = routeArgs_[i];
            CheckPort(r.a, arg);
            CheckPort(r.b, arg);
            if ((m_.ports[r.a].driver == Driver::Serial) == (m_.ports[r.b].driver == Driver::Serial))
                Fail("Route " + Q(arg) + " does not join a serial port and a tcp port");
            for (int p : {r.a, r.b}) {
                if (routed[p]) Fail("Port " + std::to_string(p) + " is in a second route in " + Q(arg));
                routed[p] = true;
            }
            // Port control takes both chains, of the same number.
            const std::string& serialChain = chain[m_.ports[r.a].driver == Driver::Serial ? r.a : r.b];
            const std::string& tcpChain = chain[m_.ports[r.a].driver == Driver::Serial ? r.b : r.a];
            if ((serialChain.empty() && tcpChain.empty()) ||
                (!serialChain.empty() && !tcpChain.empty() &&
                 ChainNumber(serialChain, SerialChainPrefix) == ChainNumber(tcpChain, TcpChainPrefix)))
                continue;
            Fail("Route " + Q(arg) + " joins the chains " + Q(serialChain) + " and " + Q(tcpChain) +
                 ", not com<n> and tcp<n>");
        }
        for (std::size_t p = 0; p < m_.ports.size(); ++p)
            if (!routed[p])
                Fail("Port " + std::to_string(p) + " (" + PortName(m_.ports[p]) + ") is in no route");
    }

    // Each chain's links, by its id: all of one side's, in order, under an id of that side's form.
    void CheckChains() const {
        for (const Filter& first : m_.filters) {
            if (!IsChainLink(first.type)) continue;
            std::vector<FilterType> links;
            for (const Filter& f : m_.filters)
                if (f.id == first.id) links.push_back(f.type);
            const bool serial = KindOf(first.type).side == Driver::Serial;
            if (links != (serial ? SerialChain : TcpChain))
                Fail("Filters " + Q(first.id) + " are not the chain " +
                     (serial ? "escparse, linectl" : "telnet, pinmap, linectl"));
            if (!ChainNumber(first.id, serial ? SerialChainPrefix : TcpChainPrefix))
                Fail("Filters " + Q(first.id) + " are not named " + std::string(serial ? SerialChainPrefix : TcpChainPrefix) +
                     "<n>");
        }
    }

    Model m_;
    std::optional<Driver> driver_;
    std::optional<int> baud_, ito_, reconnect_;
    std::vector<std::string> attachmentArgs_, routeArgs_;  // for the messages of Check
};

std::string Options(const Filter& filter) {
    if (IsChainLink(filter.type)) return KindOf(filter.type).options;
    if (filter.type == FilterType::PinMap) return std::string(DtrOnConnect);
    std::string text = std::string(ConnectOption) + SignalName(filter.connect);
    if (filter.delayDisconnect) text += " " + std::string(DelayOption) + std::to_string(*filter.delayDisconnect);
    return text;
}

std::string Join(const std::vector<int>& numbers) {
    std::string text;
    for (int n : numbers) text += (text.empty() ? "" : ",") + std::to_string(n);
    return text;
}

// quoteOptions: a filter's options in double quotes when they hold a blank, as on a line.
std::vector<std::string> Build(const Model& m, bool quoteOptions) {
    std::vector<std::string> args;
    if (m.noDefaultFlowControlRoute) args.push_back("--no-default-fc-route=" + std::string(AllFlowControl));
    for (const Filter& f : m.filters) {
        std::string head = TypeName(f.type);
        if (f.id != head || IsChainLink(f.type)) head += "," + f.id;
        if (IsChainLink(f.type)) head += "," + std::string(KindOf(f.type).name);
        std::string options = Options(f);
        if (quoteOptions && options.find(' ') != std::string::npos) options = '"' + options + '"';
        args.push_back("--create-filter=" + head + (options.empty() ? "" : ":" + options));
    }
    for (const Attachment& at : m.attachments) args.push_back("--add-filters=" + Join(at.ports) + ":" + at.filter);
    for (const Route& r : m.routes) args.push_back("--bi-route=" + std::to_string(r.a) + ":" + std::to_string(r.b));

    // The settings in force, changed only where the next port needs another value.
    std::optional<Driver> driver;
    std::optional<int> baud, ito, reconnect;
    auto set = [&args](std::optional<int>& current, const std::optional<int>& wanted, const char* option) {
        if (wanted && wanted != current) {
            args.push_back(option + std::to_string(*wanted));
            current = wanted;
        }
    };
    for (const Port& port : m.ports) {
        if (driver != port.driver) args.push_back(port.driver == Driver::Serial ? "--use-driver=serial" : "--use-driver=tcp");
        driver = port.driver;
        if (port.driver == Driver::Serial) {
            set(ito, port.ito, "--ito=");
            set(baud, port.baud, "--baud=");
        } else {
            set(reconnect, port.reconnect, "--reconnect=");
        }
        args.push_back(PortName(port));
    }
    return args;
}

}  // namespace

const char* SignalName(Signal signal) { return SignalNames[static_cast<int>(signal)]; }

ParseResult ParseArguments(const std::vector<std::string>& args) {
    ParseResult result;
    try {
        result.model = Parser().Run(args);
    } catch (const LineError& e) {
        result.error = e.message;
    }
    return result;
}

std::vector<std::string> BuildArguments(const Model& model) { return Build(model, false); }

std::string BuildLine(const Model& model) {
    std::string line;
    for (const std::string& arg : Build(model, true)) line += (line.empty() ? "" : " ") + arg;
    return line;
}

std::vector<Bridge> Bridges(const Model& model) {
    std::vector<Bridge> bridges;
    for (const Route& r : model.routes) {
        bool serialFirst = model.ports[r.a].driver == Driver::Serial;
        Bridge b;
        b.serialPort = serialFirst ? r.a : r.b;
        b.tcpPort = serialFirst ? r.b : r.a;
        const Port& serial = model.ports[b.serialPort];
        const Port& tcp = model.ports[b.tcpPort];
        b.path = serial.path;
        b.baud = serial.baud;
        b.ito = serial.ito;
        b.host = tcp.host;
        b.port = tcp.tcpPort;
        b.reconnect = tcp.reconnect;
        for (const Attachment& at : model.attachments) {
            if (std::find(at.ports.begin(), at.ports.end(), b.serialPort) == at.ports.end()) continue;
            for (const Filter& f : model.filters) {
                if (f.id != at.filter) continue;
                if (IsChainLink(f.type)) {
                    b.portControl = true;
                } else if (f.type == FilterType::PinMap) {
                    b.dtrOnConnect = true;
                } else {
                    b.connect = f.connect;
                    b.delayDisconnect = f.delayDisconnect.value_or(0);
                }
            }
        }
        bridges.push_back(std::move(b));
    }
    return bridges;
}

std::string Describe(const Bridge& b) {
    auto number = [](const std::optional<int>& n) { return n ? std::to_string(*n) : std::string("unset"); };
    std::string text = "ports " + std::to_string(b.serialPort) + ":" + std::to_string(b.tcpPort) + ": serial " +
                       b.path + " baud " + number(b.baud) + " ito " + number(b.ito) + ", server " + b.host + ":" +
                       std::to_string(b.port) + " reconnect " + number(b.reconnect) + ", connect ";
    if (b.connect)
        text += std::string("on ") + SignalName(*b.connect) + ", disconnect after " + std::to_string(b.delayDisconnect) +
                " ms";
    else
        text += "always";
    if (b.dtrOnConnect) text += ", dtr on connect";
    if (b.portControl) text += ", port control";
    return text;
}

}  // namespace hub
