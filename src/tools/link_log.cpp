#include "tools/link_log.h"

#include "platform/ascii.h"

#include <algorithm>
#include <cstdio>

std::vector<TLogEvent> LogEvents(const std::vector<TLinkEvent>& events, const TLinks& links) {
    std::vector<TLogEvent> log;
    for (const TLinkEvent& event : events) {
        switch (event.Kind) {
        case TEventKind::LinkChanged: {
            const TLinkRecord& link = links.Of(event.Slot);
            if (event.Quiet || event.To == TLinkState::Stopped || event.To == TLinkState::Off) break;
            const std::string after = event.DownMs < 0 ? std::string() : "after " + std::to_string(event.DownMs / 1000) + " s";
            log.push_back({link.Com, link.Server, LinkWord(event.To), true, link.Name, after,
                           event.To == TLinkState::Refused || event.To == TLinkState::Mismatched ? AnswerText(link.Entry)
                                                                                               : std::string()});
            break;
        }
        case TEventKind::LinkWaits: {
            const TLinkRecord& link = links.Of(event.Slot);
            log.push_back({link.Com, link.Server, LinkWord(TLinkState::Waiting), true, link.Name});
            break;
        }
        case TEventKind::HubEnded: log.push_back({"-", "-", "hub ended"}); break;
        case TEventKind::Started: log.push_back({"-", "-", "started"}); break;
        case TEventKind::Restarted: log.push_back({"-", "-", "restarted"}); break;
        case TEventKind::Refused: log.push_back({"-", "-", "refused", false, {}, {}, event.Why}); break;
        case TEventKind::Failed: log.push_back({"-", "-", "failed", false, {}, {}, event.Why}); break;
        case TEventKind::LeftOut:
            log.push_back({"-", "-", "left out", false, {}, {}, "slot " + std::to_string(event.Slot) + ": " + event.Why});
            break;
        case TEventKind::Stopped: log.push_back({"-", "-", "stopped"}); break;
        case TEventKind::ChecksRefused: log.push_back({"-", "-", "servers unchecked", false, {}, {}, event.Why}); break;
        case TEventKind::ChecksWork: log.push_back({"-", "-", "servers checked"}); break;
        case TEventKind::SettingsTaken: {
            const TLinkRecord& link = links.Of(event.Slot);
            log.push_back({link.Com, link.Server, "settings", false, {}, {}, event.Why});
            break;
        }
        case TEventKind::RecordUnread: log.push_back({"-", "-", "hub record not read", false, {}, {}, event.Why}); break;
        case TEventKind::LinkLost:
        case TEventKind::LinkRestored:
        case TEventKind::ServerDisagrees:  // its change of state is the line
        case TEventKind::RestartWanted:
        case TEventKind::Unjudged:
        case TEventKind::HubAppeared:
        case TEventKind::StartedElsewhere:  // the copy that did it logged it
        case TEventKind::StoppedElsewhere: break;
        }
    }
    return log;
}

namespace {

// A field as the log writes it: a control character would end the field or the line, or
// start another, so each is a blank.
std::string LogField(std::string text) {
    std::replace_if(text.begin(), text.end(), platform::IsAsciiControl, ' ');
    return text;
}

}  // namespace

std::string LogLine(const std::string& dateTime, const TLogEvent& event) {
    std::string line =
        LogField(dateTime) + '\t' + LogField(event.Com) + '\t' + LogField(event.Server) + '\t' + LogField(event.Word);
    if (event.Link) line += '\t' + LogField(event.Name);
    if (event.Link && !event.After.empty()) line += '\t' + LogField(event.After);
    if (!event.Why.empty()) line += '\t' + LogField(event.Why);
    return line;
}

std::string LogTime(int year, int month, int day, int hour, int minute, int second) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}
