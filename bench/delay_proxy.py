#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that holds every piece of data back DELAY_MS in each direction.

Usage: delay_proxy.py TARGET_PORT DELAY_MS PORT_FILE

Listens on a free loopback port, writes that port number to PORT_FILE once it listens, and
relays every connection to 127.0.0.1:TARGET_PORT until it is killed. A delay of 25 ms each way
makes a 50 ms round trip: what a client meets on a real network, on the loopback interface.
Data keeps its order; nothing is read or changed, so TLS passes through untouched.
"""

import asyncio
import socket
import sys
import time


async def pump(reader, writer, delay):
    """Copies reader to writer, each chunk written `delay` seconds after it was read."""
    queue = asyncio.Queue()

    async def send_when_due():
        while True:
            due, data = await queue.get()
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                break
            writer.write(data)
            await writer.drain()
        writer.close()

    sender = asyncio.ensure_future(send_when_due())
    try:
        while True:
            data = await reader.read(1 << 16)
            queue.put_nowait((time.monotonic() + delay, data or None))
            if not data:
                break
    except (ConnectionError, OSError):
        queue.put_nowait((time.monotonic(), None))
    try:
        await sender
    except (ConnectionError, OSError):
        pass


def low_delay(writer):
    sock = writer.get_extra_info("socket")
    if sock is not None:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)


async def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().split("\n\n")[1])
    target_port, delay = int(sys.argv[1]), int(sys.argv[2]) / 1000.0

    async def relay(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
        except OSError:
            client_writer.close()
            return
        low_delay(client_writer)
        low_delay(server_writer)
        await asyncio.gather(pump(client_reader, server_writer, delay),
                             pump(server_reader, client_writer, delay))

    server = await asyncio.start_server(relay, "127.0.0.1", 0)
    with open(sys.argv[3], "w") as port_file:
        port_file.write("%d\n" % server.sockets[0].getsockname()[1])
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
