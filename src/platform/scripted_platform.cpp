#include "platform/scripted_platform.h"

#include <algorithm>
#include <cstring>

namespace plclink {

ScriptedPlatform* ScriptedPlatform::current_ = nullptr;

ScriptedPlatform::ScriptedPlatform() {
    ops_ = NativePlatform();
    ops_.sleepMs = Sleep;
    ops_.monotonicMs = MonotonicMs;
    ops_.fileVersionInfoSize = FileVersionInfoSize;
    ops_.fileVersionInfo = FileVersionInfo;
    ops_.queryFileVersion = QueryFileVersion;
    ops_.openPort = OpenPort;
    ops_.closePort = ClosePort;
    ops_.getLineState = GetLineState;
    ops_.setLineState = SetLineState;
    ops_.getTimeouts = GetTimeouts;
    ops_.setTimeouts = SetTimeouts;
    ops_.setupQueues = SetupQueues;
    ops_.setEventMask = SetEventMask;
    ops_.waitEvent = WaitEvent;
    ops_.clearErrors = ClearErrors;
    ops_.escapeFunction = EscapeFunction;
    ops_.readPort = ReadPort;
    ops_.writePort = WritePort;
    ops_.lastError = LastError;
    ops_.currentThreadId = CurrentThreadId;
    current_ = this;
    previous_ = InstallPlatform(&ops_);
}

ScriptedPlatform::~ScriptedPlatform() {
    InstallPlatform(previous_);
    current_ = nullptr;
}

void ScriptedPlatform::deliver(const std::vector<std::uint8_t>& bytes, std::uint64_t delayMs) {
    if (bytes.empty()) return;
    incoming_.push_back({now_ + delayMs, bytes});
    std::stable_sort(incoming_.begin(), incoming_.end(),
                     [](const Chunk& a, const Chunk& b) { return a.atMs < b.atMs; });
}

std::size_t ScriptedPlatform::pendingBytes() const {
    std::size_t n = 0;
    for (const Chunk& c : incoming_) n += c.bytes.size();
    return n;
}

void ScriptedPlatform::fail(const std::string& op, int times) { failures_[op] = times; }

bool ScriptedPlatform::failing(const std::string& op) {
    auto it = failures_.find(op);
    if (it == failures_.end() || it->second == 0) return false;
    if (it->second > 0) --it->second;
    return true;
}

ScriptedPlatform::Call& ScriptedPlatform::record(const std::string& op,
                                                 std::vector<std::uint64_t> args) {
    calls.push_back({op, std::move(args), {}, {}, now_});
    return calls.back();
}

std::vector<std::string> ScriptedPlatform::callNames() const {
    std::vector<std::string> names;
    for (const Call& c : calls) names.push_back(c.op);
    return names;
}

std::vector<ScriptedPlatform::Call> ScriptedPlatform::callsOf(const std::string& op) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.op == op) out.push_back(c);
    return out;
}

std::vector<std::uint8_t> ScriptedPlatform::written() const {
    std::vector<std::uint8_t> out;
    for (const Call& c : calls)
        if (c.op == "writePort") out.insert(out.end(), c.data.begin(), c.data.end());
    return out;
}

ScriptedPlatform::Port* ScriptedPlatform::port(LineHandle handle) {
    auto it = ports_.find(handle);
    return it == ports_.end() || !it->second.open ? nullptr : &it->second;
}

ScriptedPlatform::Port* ScriptedPlatform::portNamed(const std::string& name) {
    for (auto& [h, p] : ports_)
        if (p.open && p.name == name) return &p;
    return nullptr;
}

LineHandle ScriptedPlatform::handleOf(const std::string& name) {
    for (auto& [h, p] : ports_)
        if (p.open && p.name == name) return h;
    return kNoLine;
}

void ScriptedPlatform::Sleep(std::uint32_t ms) {
    current_->record("sleep", {ms});
    current_->now_ += ms;
}

std::uint64_t ScriptedPlatform::MonotonicMs() { return current_->now_; }

std::uint32_t ScriptedPlatform::FileVersionInfoSize(const char* fileName) {
    auto& self = *current_;
    self.record("fileVersionInfoSize").text = fileName;
    return self.failing("fileVersionInfoSize") ? 0 : 16;
}

bool ScriptedPlatform::FileVersionInfo(const char* fileName, std::uint32_t size, void* data) {
    auto& self = *current_;
    self.record("fileVersionInfo", {size}).text = fileName;
    if (self.failing("fileVersionInfo") || size < 8) return false;
    std::memcpy(data, &self.versionMs, 4);
    std::memcpy(static_cast<char*>(data) + 4, &self.versionLs, 4);
    return true;
}

bool ScriptedPlatform::QueryFileVersion(const void* data, std::uint32_t* ms, std::uint32_t* ls,
                                        std::uint32_t* length) {
    auto& self = *current_;
    self.record("queryFileVersion");
    if (self.failing("queryFileVersion")) return false;
    std::memcpy(ms, data, 4);
    std::memcpy(ls, static_cast<const char*>(data) + 4, 4);
    *length = self.versionInfoLength;
    return true;
}

bool ScriptedPlatform::OpenPort(const char* name, LineHandle* out) {
    auto& self = *current_;
    self.record("openPort").text = name;
    if (self.failing("openPort") || self.missingPorts.count(name) || self.portNamed(name)) {
        *out = kNullLine;  // the platform's invalid-handle value
        return false;
    }
    LineHandle h = self.nextHandle_++;
    Port p;
    p.name = name;
    p.state.baudRate = 1200;
    p.state.byteSize = 7;
    self.ports_[h] = p;
    *out = h;
    return true;
}

bool ScriptedPlatform::ClosePort(LineHandle h) {
    auto& self = *current_;
    self.record("closePort", {h});
    Port* p = self.port(h);
    if (self.failing("closePort") || p == nullptr) return false;
    p->open = false;
    return true;
}

bool ScriptedPlatform::GetLineState(LineHandle h, LineState* s) {
    auto& self = *current_;
    self.record("getLineState", {h});
    Port* p = self.port(h);
    if (self.failing("getLineState") || p == nullptr || self.noLineStatePorts.count(p->name))
        return false;
    *s = p->state;
    return true;
}

bool ScriptedPlatform::SetLineState(LineHandle h, const LineState* s) {
    auto& self = *current_;
    self.record("setLineState", {h, s->baudRate, s->byteSize, s->parity, s->stopBits});
    Port* p = self.port(h);
    if (self.failing("setLineState") || p == nullptr) return false;
    p->state = *s;
    return true;
}

bool ScriptedPlatform::GetTimeouts(LineHandle h, LineTimeouts* t) {
    auto& self = *current_;
    self.record("getTimeouts", {h});
    Port* p = self.port(h);
    if (self.failing("getTimeouts") || p == nullptr) return false;
    *t = p->timeouts;
    return true;
}

bool ScriptedPlatform::SetTimeouts(LineHandle h, const LineTimeouts* t) {
    auto& self = *current_;
    self.record("setTimeouts", {h, t->readInterval, t->readTotalMultiplier, t->readTotalConstant,
                                t->writeTotalMultiplier, t->writeTotalConstant});
    Port* p = self.port(h);
    if (self.failing("setTimeouts") || p == nullptr) return false;
    p->timeouts = *t;
    return true;
}

bool ScriptedPlatform::SetupQueues(LineHandle h, std::uint32_t in, std::uint32_t out) {
    auto& self = *current_;
    self.record("setupQueues", {h, in, out});
    Port* p = self.port(h);
    if (self.failing("setupQueues") || p == nullptr) return false;
    p->inQueue = in;
    p->outQueue = out;
    return true;
}

bool ScriptedPlatform::SetEventMask(LineHandle h, std::uint32_t mask) {
    auto& self = *current_;
    self.record("setEventMask", {h, mask});
    Port* p = self.port(h);
    if (self.failing("setEventMask") || p == nullptr) return false;
    p->eventMask = mask;
    return true;
}

bool ScriptedPlatform::WaitEvent(LineHandle h, std::uint32_t* events) {
    auto& self = *current_;
    self.record("waitEvent", {h});
    Port* p = self.port(h);
    if (self.failing("waitEvent") || p == nullptr || p->eventMask == 0) return false;
    *events = self.reportedEvents & p->eventMask;
    return true;
}

bool ScriptedPlatform::ClearErrors(LineHandle h, std::uint32_t* errors, std::uint32_t* waiting) {
    auto& self = *current_;
    self.record("clearErrors", {h});
    if (self.failing("clearErrors") || self.port(h) == nullptr) return false;
    std::uint32_t n = 0;
    for (const Chunk& c : self.incoming_)
        if (c.atMs <= self.now_) n += static_cast<std::uint32_t>(c.bytes.size());
    *errors = 0;
    *waiting = n;
    return true;
}

bool ScriptedPlatform::EscapeFunction(LineHandle h, std::uint32_t function) {
    auto& self = *current_;
    self.record("escapeFunction", {h, function});
    Port* p = self.port(h);
    if (self.failing("escapeFunction") || p == nullptr) return false;
    if (function == kEscapeSetRts || function == kEscapeClrRts) p->rts = function == kEscapeSetRts;
    if (function == kEscapeSetDtr || function == kEscapeClrDtr) p->dtr = function == kEscapeSetDtr;
    return true;
}

bool ScriptedPlatform::ReadPort(LineHandle h, void* buffer, std::uint32_t length,
                                std::uint32_t* got) {
    auto& self = *current_;
    Call& call = self.record("readPort", {h, length});
    *got = 0;
    Port* p = self.port(h);
    if (self.failing("readPort") || p == nullptr) return false;
    // Total time-out from the start of the call. With no time-out at all a
    // real read would wait for ever; here it waits for the bytes scripted.
    const LineTimeouts& t = p->timeouts;
    const bool unbounded = t.readInterval == 0 && t.readTotalMultiplier == 0 &&
                           t.readTotalConstant == 0;
    const std::uint64_t deadline =
        unbounded ? UINT64_MAX
                  : self.now_ + t.readTotalConstant +
                        std::uint64_t{t.readTotalMultiplier} * length;
    std::uint32_t want = std::min(length, self.shortRead_);
    const bool cutShort = want < length;
    self.shortRead_ = UINT32_MAX;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint64_t lastArrival = self.now_;
    while (*got < want && !self.incoming_.empty() && self.incoming_.front().atMs <= deadline) {
        Chunk& c = self.incoming_.front();
        std::uint32_t take = std::min<std::uint32_t>(want - *got,
                                                      static_cast<std::uint32_t>(c.bytes.size()));
        std::memcpy(out + *got, c.bytes.data(), take);
        call.data.insert(call.data.end(), c.bytes.begin(), c.bytes.begin() + take);
        *got += take;
        lastArrival = std::max(lastArrival, c.atMs);
        c.bytes.erase(c.bytes.begin(), c.bytes.begin() + take);
        if (c.bytes.empty()) self.incoming_.erase(self.incoming_.begin());
    }
    if (*got == length || (unbounded && !cutShort)) {
        self.now_ = std::max(self.now_, lastArrival);
    } else if (unbounded) {
        self.now_ = std::max(self.now_, lastArrival);
    } else {
        self.now_ = deadline;
    }
    return true;
}

bool ScriptedPlatform::WritePort(LineHandle h, const void* buffer, std::uint32_t length,
                                 std::uint32_t* written) {
    auto& self = *current_;
    Call& call = self.record("writePort", {h, length});
    Port* p = self.port(h);
    if (self.failing("writePort") || p == nullptr) return false;
    std::uint32_t n = std::min(length, self.shortWrite_);
    self.shortWrite_ = UINT32_MAX;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    call.data.assign(bytes, bytes + n);
    *written = n;
    if (self.onWrite) {
        std::vector<std::uint8_t> copy(call.data);
        self.onWrite(self, copy);
    }
    return true;
}

std::uint32_t ScriptedPlatform::LastError() {
    current_->record("lastError");
    return current_->errorCode;
}

std::uint32_t ScriptedPlatform::CurrentThreadId() { return current_->threadId; }

}  // namespace plclink
