#!/usr/bin/env python3
"""Echo replies as real Internet hosts give them, for the test network.

Runs in a namespace whose kernel ignores echo requests
(net.ipv4.icmp_echo_ignore_all=1), reads them from a raw ICMP socket and
answers those addressed to the given addresses, each in its own way:

  responder.py --seconds 600 203.0.113.68:cut=68 203.0.113.80:delay=1300 \
               203.0.113.90:rate=2 203.0.113.56:cut=556,rate=2

  cut=N     the reply carries only the first N bytes of the request's data
  delay=MS  the reply leaves MS milliseconds after the request came
  rate=R    at most R replies a second to any one sender (a token bucket with
            a burst of R); the other requests go unanswered
  every=MS  at most one reply every MS milliseconds to any one sender, one at
            a time (a burst of 1)
  jitter=MS each reply up to MS milliseconds later again, at random

An address alone is answered at once and whole. Only requests from and to the
documentation ranges are answered, and nothing else is ever sent. The
responder ends by itself after --seconds, and on SIGTERM or SIGINT.
"""

import argparse
import heapq
import ipaddress
import os
import random
import select
import signal
import socket
import struct
import sys
import time

DOCUMENTATION_RANGES = tuple(
    ipaddress.ip_network(n) for n in ("192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/24"))
ICMP_ECHO_REPLY = 0
ICMP_ECHO_REQUEST = 8
IP_HEADER_MIN = 20
ICMP_HEADER = 8
IP_MORE_FRAGMENTS = 0x2000
IP_FRAGMENT_OFFSET = 0x1FFF
REPLY_TTL = 64
RECEIVE_BUFFER = 65535
MOST_PENDING = 4096  # replies waiting for their time; more requests are dropped
MOST_SENDERS = 4096  # token buckets kept; the oldest is forgotten


def in_documentation_range(address):
    return any(address in network for network in DOCUMENTATION_RANGES)


def checksum(data):
    """The Internet checksum of data: the ones' complement of its 16-bit ones' complement sum."""
    data = bytes(data)
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


class Behaviour:
    """How one address answers: cut, delay and rate; None where not set."""

    KEYS = ("cut", "delay", "rate", "every", "jitter")

    def __init__(self, cut=None, delay=None, rate=None, every=None, jitter=None):
        self.cut = cut
        self.delay = delay
        self.rate = rate
        self.every = every
        self.jitter = jitter

    @classmethod
    def parse(cls, text):
        settings = {}
        for item in filter(None, text.split(",")):
            key, equals, value = item.partition("=")
            if not equals or key not in cls.KEYS or key in settings:
                raise ValueError("'%s' is not cut=N, delay=MS, rate=R, every=MS or jitter=MS, each at most once"
                                 % item)
            if not (value.isascii() and value.isdigit()) or len(value) > 9:
                raise ValueError("'%s' needs a whole number" % item)
            settings[key] = int(value)
        if settings.get("rate") == 0 or settings.get("every") == 0:
            raise ValueError("rate=0 or every=0 would answer nothing; leave the address out instead")
        return cls(**settings)


def parse_host(text):
    """ADDRESS[:BEHAVIOUR] from the command line, as (address, Behaviour)."""
    address_text, _, behaviour_text = text.partition(":")
    try:
        address = ipaddress.IPv4Address(address_text)
    except ValueError:
        raise argparse.ArgumentTypeError("'%s' is not an IPv4 address" % address_text) from None
    if not in_documentation_range(address):
        raise argparse.ArgumentTypeError("%s is outside the documentation ranges" % address)
    try:
        return address, Behaviour.parse(behaviour_text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def parse_echo_request(packet):
    """(source, destination, tos, identifier and sequence, data) of a whole,
    well-formed IPv4 echo request between documentation addresses, or None
    for anything else, however short or odd the packet."""
    if len(packet) < IP_HEADER_MIN or packet[0] >> 4 != 4:
        return None
    header_length = (packet[0] & 0x0F) * 4
    total_length = struct.unpack_from("!H", packet, 2)[0]
    if header_length < IP_HEADER_MIN or total_length < header_length + ICMP_HEADER:
        return None
    if total_length > len(packet):
        return None  # cut short on the way: not a whole request
    fragment = struct.unpack_from("!H", packet, 6)[0]
    if fragment & (IP_MORE_FRAGMENTS | IP_FRAGMENT_OFFSET) or packet[9] != socket.IPPROTO_ICMP:
        return None
    if checksum(packet[:header_length]) != 0:
        return None
    source = ipaddress.IPv4Address(packet[12:16])
    destination = ipaddress.IPv4Address(packet[16:20])
    if not (in_documentation_range(source) and in_documentation_range(destination)):
        return None
    icmp = packet[header_length:total_length]
    if icmp[0] != ICMP_ECHO_REQUEST or icmp[1] != 0 or checksum(icmp) != 0:
        return None
    return source, destination, packet[1], icmp[4:8], icmp[ICMP_HEADER:]


def build_echo_reply(source, destination, tos, identifier_and_sequence, data):
    """A whole IPv4 packet: the echo reply from source to destination."""
    icmp = bytearray(struct.pack("!BBH", ICMP_ECHO_REPLY, 0, 0) + identifier_and_sequence + data)
    struct.pack_into("!H", icmp, 2, checksum(bytes(icmp)))
    header = bytearray(
        struct.pack("!BBHHHBBH4s4s", 0x45, tos, IP_HEADER_MIN + len(icmp),
                    int.from_bytes(os.urandom(2), "big"), 0, REPLY_TTL, socket.IPPROTO_ICMP, 0,
                    source.packed, destination.packed))
    struct.pack_into("!H", header, 10, checksum(bytes(header)))
    return bytes(header + icmp)


class TokenBuckets:
    """At most `rate` replies a second to each sender, with a burst of `burst` (`rate` unless given)."""

    def __init__(self):
        self.buckets = {}  # (host, sender) -> (tokens, when they were counted)

    def take(self, key, rate, now, burst=None):
        burst = float(rate if burst is None else burst)
        tokens, then = self.buckets.pop(key, (burst, now))
        tokens = min(burst, tokens + (now - then) * rate)
        if len(self.buckets) >= MOST_SENDERS:
            del self.buckets[next(iter(self.buckets))]
        if tokens < 1.0:
            self.buckets[key] = (tokens, now)
            return False
        self.buckets[key] = (tokens - 1.0, now)
        return True


class Responder:
    def __init__(self, hosts):
        self.hosts = hosts  # IPv4Address -> Behaviour
        self.buckets = TokenBuckets()
        self.pending = []  # heap of (when, order, reply, destination)
        self.order = 0

    def request(self, packet, now):
        """Queues the answer to one received packet, if it gets one."""
        request = parse_echo_request(packet)
        if request is None:
            return
        source, destination, tos, identifier_and_sequence, data = request
        behaviour = self.hosts.get(destination)
        if behaviour is None:
            return
        if behaviour.rate is not None and not self.buckets.take((destination, source), behaviour.rate, now):
            return
        if behaviour.every is not None and not self.buckets.take((destination, source), 1000.0 / behaviour.every,
                                                                 now, 1):
            return
        if len(self.pending) >= MOST_PENDING:
            return
        if behaviour.cut is not None:
            data = data[:behaviour.cut]
        reply = build_echo_reply(destination, source, tos, identifier_and_sequence, data)
        when = now + ((behaviour.delay or 0) + random.uniform(0, behaviour.jitter or 0)) / 1000.0
        self.order += 1
        heapq.heappush(self.pending, (when, self.order, reply, str(source)))

    def due(self, now):
        """The replies whose time has come, in order."""
        while self.pending and self.pending[0][0] <= now:
            _, _, reply, destination = heapq.heappop(self.pending)
            yield reply, destination

    def next_time(self):
        return self.pending[0][0] if self.pending else None


def serve(hosts, seconds, listening):
    """Answers for `seconds`; calls listening() once requests can come."""
    end = time.monotonic() + seconds
    responder = Responder(hosts)
    with socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP) as sock:
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_HDRINCL, 1)
        sock.setblocking(False)
        listening()
        while True:
            now = time.monotonic()
            if now >= end:
                return
            for reply, destination in responder.due(now):
                try:
                    sock.sendto(reply, (destination, 0))
                except OSError:
                    pass  # no route or buffer now: the reply is lost, as on a real host
            next_reply = responder.next_time()
            wake = end if next_reply is None else min(end, next_reply)
            readable, _, _ = select.select([sock], [], [], max(0.0, wake - time.monotonic()))
            if not readable:
                continue
            try:
                packet = sock.recv(RECEIVE_BUFFER)
            except (BlockingIOError, InterruptedError):
                continue
            responder.request(packet, time.monotonic())


def stop(_signal, _frame):
    sys.exit(0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, required=True, help="how long to answer, then end")
    parser.add_argument("--pid-file", help="written with this process's id once it is listening")
    parser.add_argument("hosts", nargs="+", type=parse_host,
                        metavar="ADDRESS[:cut=N,delay=MS,rate=R,every=MS,jitter=MS]")
    arguments = parser.parse_args()
    if not 0 < arguments.seconds <= 86400:
        parser.error("--seconds must be more than 0 and at most 86400")
    hosts = dict(arguments.hosts)
    if len(hosts) != len(arguments.hosts):
        parser.error("an address is given twice")
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    def listening():
        if arguments.pid_file:  # whole or not there, for whoever waits for it
            with open(arguments.pid_file + ".new", "w") as pid_file:
                pid_file.write("%d\n" % os.getpid())
            os.replace(arguments.pid_file + ".new", arguments.pid_file)

    try:
        serve(hosts, arguments.seconds, listening)
    except PermissionError as error:
        sys.exit("responder.py: %s (raw sockets need root)" % error)


if __name__ == "__main__":
    main()
