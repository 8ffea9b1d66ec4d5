#!/usr/bin/env python3
"""The echo responder's packet handling, without a network: what it answers,
what it refuses, and that no packet, however short or odd, makes it fail."""

import argparse
import ipaddress
import os
import random
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import responder  # noqa: E402

CLIENT = ipaddress.IPv4Address("192.0.2.2")
HOSTS = {
    ipaddress.IPv4Address("203.0.113.68"): responder.Behaviour(cut=68),
    ipaddress.IPv4Address("203.0.113.80"): responder.Behaviour(delay=1300),
    ipaddress.IPv4Address("203.0.113.90"): responder.Behaviour(rate=2),
    ipaddress.IPv4Address("203.0.113.15"): responder.Behaviour(),
}


def echo_request(destination, data=bytes(range(256)) * 6, source=CLIENT, icmp_type=8, fragment=0,
                 identifier=0x1234, sequence=7):
    icmp = bytearray(struct.pack("!BBHHH", icmp_type, 0, 0, identifier, sequence) + data)
    struct.pack_into("!H", icmp, 2, responder.checksum(icmp))
    header = bytearray(struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(icmp), 1, fragment, 64, 1, 0,
                                   ipaddress.IPv4Address(source).packed,
                                   ipaddress.IPv4Address(destination).packed))
    struct.pack_into("!H", header, 10, responder.checksum(header))
    return bytes(header + icmp)


def answers(packet):
    """The replies that one packet brings at once."""
    echo = responder.Responder(HOSTS)
    echo.request(packet, 100.0)
    return list(echo.due(100.0))


def with_checksums(packet):
    """packet with its IP and ICMP checksums made right for what it holds."""
    packet = bytearray(packet)
    if len(packet) < 4:
        return bytes(packet)
    header_length = min((packet[0] & 0x0F) * 4, len(packet))
    if header_length >= 12:
        packet[10:12] = b"\0\0"
        struct.pack_into("!H", packet, 10, responder.checksum(packet[:header_length]))
    end = min(struct.unpack_from("!H", packet, 2)[0], len(packet))
    if end >= header_length + 4:
        packet[header_length + 2:header_length + 4] = b"\0\0"
        struct.pack_into("!H", packet, header_length + 2, responder.checksum(packet[header_length:end]))
    return bytes(packet)


class Replies(unittest.TestCase):
    def test_reply_is_the_request_turned_round(self):
        # Host, data sent, data the reply must carry.
        data = bytes(range(200))
        cases = [("203.0.113.15", data, data), ("203.0.113.68", data, data[:68]),
                 ("203.0.113.68", data[:10], data[:10]), ("203.0.113.68", b"", b"")]
        for host, sent, kept in cases:
            with self.subTest(host=host, sent=len(sent)):
                [(reply, destination)] = answers(echo_request(host, sent))
                self.assertEqual(destination, str(CLIENT))
                self.assertEqual(reply[12:16], ipaddress.IPv4Address(host).packed)
                self.assertEqual(reply[16:20], CLIENT.packed)
                self.assertEqual(struct.unpack_from("!H", reply, 2)[0], len(reply))
                self.assertEqual(responder.checksum(reply[:20]), 0)
                self.assertEqual(reply[20:22], b"\0\0")  # echo reply, code 0
                self.assertEqual(responder.checksum(reply[20:]), 0)
                self.assertEqual(reply[24:28], struct.pack("!HH", 0x1234, 7))
                self.assertEqual(reply[28:], kept)

    def test_nothing_but_whole_echo_requests_between_documentation_addresses(self):
        whole = echo_request("203.0.113.15")
        bad_checksum = bytearray(whole)
        bad_checksum[-1] ^= 1
        cases = {
            "to an address not served": echo_request("203.0.113.16"),
            "from outside the ranges": echo_request("203.0.113.15", source="10.0.0.2"),
            "an echo reply": echo_request("203.0.113.15", icmp_type=0),
            "a fragment": echo_request("203.0.113.15", fragment=0x2000),
            "a bad checksum": bytes(bad_checksum),
            "IPv6": b"\x60" + whole[1:],
            "longer than its IP length": whole[:-1],
        }
        for name, packet in cases.items():
            with self.subTest(name):
                self.assertEqual(answers(packet), [])

    def test_any_truncation_or_noise_is_ignored(self):
        whole = echo_request("203.0.113.15", bytes(range(40)))
        for length in range(len(whole)):
            self.assertEqual(answers(whole[:length]), [], length)
            # Shorter by its IP length than what came (padding after it): a shorter request, if whole.
            padded = bytearray(whole)
            struct.pack_into("!H", padded, 2, length)
            data = [reply[28:] for reply, _ in answers(with_checksums(padded))]
            self.assertEqual(data, [bytes(range(length - 28))] if length >= 28 else [], length)
        # Bytes changed at random, checksums then made right so that every field is read.
        noise = random.Random(1)
        for _ in range(5000):
            packet = bytearray(whole[:noise.randrange(len(whole) + 1)])
            for _ in range(noise.randrange(1, 4)):
                if packet:
                    packet[noise.randrange(min(len(packet), 32))] = noise.randrange(256)
            answers(with_checksums(packet))


class Timing(unittest.TestCase):
    def test_late_replies_do_not_hold_up_the_others(self):
        echo = responder.Responder(HOSTS)
        echo.request(echo_request("203.0.113.80", sequence=1), 100.0)
        echo.request(echo_request("203.0.113.15", sequence=2), 100.1)
        self.assertEqual(len(list(echo.due(100.2))), 1)
        self.assertEqual(echo.next_time(), 101.3)
        self.assertEqual(list(echo.due(101.29)), [])
        [(reply, _)] = echo.due(101.3)
        self.assertEqual(reply[26:28], b"\0\1")

    def test_rate_is_a_burst_then_so_many_a_second_per_sender(self):
        # Time of each request, its sender, whether it is answered.
        cases = [(0.0, CLIENT, True), (0.05, CLIENT, True), (0.1, CLIENT, False),
                 (0.1, "192.0.2.3", True), (0.4, CLIENT, False), (0.55, CLIENT, True),
                 (0.6, CLIENT, False), (5.0, CLIENT, True), (5.0, CLIENT, True), (5.0, CLIENT, False)]
        echo = responder.Responder(HOSTS)
        for when, sender, answered in cases:
            with self.subTest(when=when, sender=str(sender)):
                echo.request(echo_request("203.0.113.90", source=sender), when)
                self.assertEqual(len(list(echo.due(when))), int(answered))


class CommandLine(unittest.TestCase):
    def test_hosts(self):
        # What is given, and the address, cut, delay and rate it means.
        cases = [("203.0.113.56:cut=556,rate=2", "203.0.113.56", 556, None, 2),
                 ("198.51.100.9:delay=1300", "198.51.100.9", None, 1300, None),
                 ("192.0.2.7", "192.0.2.7", None, None, None)]
        for text, *meant in cases:
            address, behaviour = responder.parse_host(text)
            self.assertEqual([str(address), behaviour.cut, behaviour.delay, behaviour.rate], meant, text)
        for text in ["8.8.8.8:cut=68", "203.0.113.300", "203.0.113.5:cut", "203.0.113.5:cut=-1",
                     "203.0.113.5:cut=x", "203.0.113.5:size=4", "203.0.113.5:cut=1,cut=2",
                     "203.0.113.5:rate=0", "203.0.113.5:every=0", "203.0.113.5:delay=\u00b2"]:
            with self.subTest(text):
                self.assertRaises(argparse.ArgumentTypeError, responder.parse_host, text)


if __name__ == "__main__":
    unittest.main()
