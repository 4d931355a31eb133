#!/usr/bin/env python3
# Clicks points of a compound image's picture in headless Chromium, driven
# over its DevTools pipe (no packages beyond Python), and prints the address
# each click followed. The points are given in canvas pixels and placed on
# the picture as the page shows it at the viewport's width, so a picture
# that shrinks on a narrow screen is clicked where a reader sees a region.
# Usage: click_regions.py BROWSER PAGE_URL IMG_SELECTOR CANVAS_WIDTH WIDTH X,Y...
# WIDTH may be FIRST:WIDTH: the page is then loaded at FIRST pixels and the
# window made WIDTH wide before each click, as when a phone is turned.
# Prints "WIDTH SHOWN_WIDTH" and then one "X,Y HREF" line per point.
import fcntl
import json
import os
import subprocess
import sys
import tempfile
import time


class Pipe:
    def __init__(self, browser, profile):
        to_child, self.write_fd = os.pipe()
        self.read_fd, from_child = os.pipe()
        # The browser reads commands on descriptor 3 and answers on 4; the
        # pipe ends are moved out of the way of those numbers first.
        child_in = fcntl.fcntl(to_child, fcntl.F_DUPFD, 10)
        child_out = fcntl.fcntl(from_child, fcntl.F_DUPFD, 10)
        os.close(to_child)
        os.close(from_child)

        def place():
            os.dup2(child_in, 3)
            os.dup2(child_out, 4)

        self.process = subprocess.Popen(
            [browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--remote-debugging-pipe", "--user-data-dir=" + profile,
             "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=place, pass_fds=(3, 4))
        os.close(child_in)
        os.close(child_out)
        self.buffer = b""
        self.next_id = 0
        self.events = []

    def send(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.write_fd, json.dumps(message).encode() + b"\0")
        while True:
            reply = self.receive(30)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            self.events.append(reply)

    def receive(self, timeout):
        deadline = time.time() + timeout
        while b"\0" not in self.buffer:
            if time.time() > deadline:
                raise TimeoutError("no answer from the browser")
            chunk = os.read(self.read_fd, 65536)
            if not chunk:
                raise RuntimeError("the browser closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def wait_event(self, method, session, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            for event in self.events:
                if event.get("method") == method and event.get("sessionId") == session:
                    self.events.remove(event)
                    return event
            self.events.append(self.receive(deadline - time.time()))
        raise TimeoutError(method)

    def close(self):
        self.process.kill()
        self.process.wait()


def main():
    browser, url, selector, canvas, widths = sys.argv[1:6]
    canvas = int(canvas)
    first, width = (int(w) for w in (widths.split(":") if ":" in widths else [widths] * 2))
    points = [tuple(map(float, p.split(","))) for p in sys.argv[6:]]
    with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as profile:
        pipe = Pipe(browser, profile)
        try:
            target = pipe.send("Target.createTarget", {"url": "about:blank"})["targetId"]
            session = pipe.send("Target.attachToTarget",
                                {"targetId": target, "flatten": True})["sessionId"]
            pipe.send("Page.enable", session=session)

            def resize(to):
                pipe.send("Emulation.setDeviceMetricsOverride",
                          {"width": to, "height": 900, "deviceScaleFactor": 1,
                           "mobile": to < 600}, session)

            def evaluate(expression):
                result = pipe.send("Runtime.evaluate",
                                   {"expression": expression, "returnByValue": True}, session)
                return result["result"].get("value")

            def load():
                # A click's own navigation may still land after ours: navigate
                # again until the page shown is ours and complete.
                for _ in range(3):
                    resize(first)
                    pipe.events.clear()
                    pipe.send("Page.navigate", {"url": url}, session)
                    pipe.wait_event("Page.loadEventFired", session)
                    deadline = time.time() + 3
                    while time.time() < deadline:
                        if evaluate(f"location.href==={json.dumps(url)}&&"
                                    "document.readyState==='complete'"):
                            if first != width:
                                resize(width)
                            return
                        time.sleep(0.1)

            load()
            shown = evaluate(f"document.querySelector('{selector}').getBoundingClientRect().width")
            print(widths, round(shown))
            for x, y in points:
                box = None
                deadline = time.time() + 10
                while box is None and time.time() < deadline:
                    # The page itself (not the one the last click left for), loaded,
                    # its picture shown and its map's areas placed by the page's script.
                    box = evaluate(f"(function(){{if(location.href!=={json.dumps(url)}||"
                                   "document.readyState!=='complete')return null;"
                                   f"var p=document.querySelector('{selector}');"
                                   "if(!p||!p.complete)return null;"
                                   "var m=p.useMap?document.getElementsByName("
                                   "p.useMap.slice(1))[0]:null;"
                                   "if(m&&[].some.call(m.areas,function(a){"
                                   "return !a.hasAttribute('data-coords')}))return null;"
                                   "var r=p.getBoundingClientRect();"
                                   "return [r.left,r.top,r.width];})()")
                    time.sleep(0 if box else 0.1)
                if box is None:
                    raise TimeoutError("the picture did not load")
                # A resize's new coordinates come with the next frame; wait a
                # little for them, then click whatever the page shows.
                deadline = time.time() + 2
                while time.time() < deadline and not evaluate(
                        f"(function(){{var p=document.querySelector('{selector}');"
                        "var m=p.useMap?document.getElementsByName(p.useMap.slice(1))[0]:null;"
                        "if(!m)return true;var k=p.clientWidth/p.naturalWidth;"
                        "return [].every.call(m.areas,function(a){return a.coords===a"
                        ".getAttribute('data-coords').split(',').map(function(v){"
                        "return Math.round(v*k)}).join(',')});})()"):
                    time.sleep(0.1)
                scale = box[2] / canvas
                at = {"x": box[0] + x * scale, "y": box[1] + y * scale, "button": "left",
                      "clickCount": 1}
                pipe.send("Input.dispatchMouseEvent", dict(at, type="mousePressed"), session)
                pipe.send("Input.dispatchMouseEvent", dict(at, type="mouseReleased"), session)
                href = url
                deadline = time.time() + 5
                while href == url and time.time() < deadline:
                    time.sleep(0.1)
                    href = evaluate("location.href") or url
                print(f"{x:g},{y:g} {href.rsplit('/', 1)[-1] if href != url else '(none)'}")
                load()
        finally:
            pipe.close()


if __name__ == "__main__":
    main()
