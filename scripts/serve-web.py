#!/usr/bin/env python3
"""serve-web.py -- serves the site folder on 127.0.0.1 for a browser on this machine.

Usage: serve-web.py [--port N] [--reports DIR] SITE

Prints the address on its first line. With --reports, a POST to /report/NAME (the page's
?report=/report parameter) is written to DIR/NAME: the tests read what the page said. Port 0
takes any free port.
"""
import argparse
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript',
                      '.json': 'application/json', '.dat': 'application/octet-stream',
                      '.xm': 'application/octet-stream'}
    reports = None

    def do_POST(self):
        name = self.path[len('/report/'):]
        if (not Handler.reports or not self.path.startswith('/report/') or not name or
                not all(c.isalnum() or c in '.-_' for c in name) or name.startswith('.')):
            self.send_error(404)
            return
        length = int(self.headers.get('Content-Length') or 0)
        body = self.rfile.read(length)
        path = os.path.join(Handler.reports, name)
        with open(path + '.part', 'wb') as f:
            f.write(body)
        os.replace(path + '.part', path)
        self.send_response(204)
        self.end_headers()

    def end_headers(self):
        self.send_header('Cache-Control', 'no-cache')
        super().end_headers()

    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description='Serves the show\'s site on 127.0.0.1.')
    parser.add_argument('--port', type=int, default=8080)
    parser.add_argument('--reports', help='folder for what the page reports by POST /report')
    parser.add_argument('site')
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(args.site, 'index.html')):
        print('serve-web: %s has no index.html (run make web)' % args.site, file=sys.stderr)
        return 1
    Handler.reports = args.reports
    handler = lambda *a, **k: Handler(*a, directory=args.site, **k)
    try:
        server = http.server.ThreadingHTTPServer(('127.0.0.1', args.port), handler)
    except OSError as e:
        print('serve-web: cannot listen on 127.0.0.1:%d: %s' % (args.port, e.strerror),
              file=sys.stderr)
        return 1
    print('Serving %s at http://127.0.0.1:%d/ (Ctrl-C stops it)' % (args.site,
                                                                    server.server_address[1]),
          flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == '__main__':
    sys.exit(main())
