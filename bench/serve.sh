# Shared by the benchmarks (sourced): the peers and nginx installed, the
# zorvan-cli built, test files made in build/bench/www, and nginx serving
# them on a free loopback port ($port) under /open/ and, capped at 25 MiB/s
# per connection, /capped/ (and at 4 MiB/s, /slow/, logging the bytes each
# request was sent in $work/slow.log, and /bare/, the same without ETag or
# Last-Modified, as generated or proxied media often come); the same over
# TLS 1.3 on $tls_port for
# "localhost", with a certificate from a CA made here ($ca). nginx stops
# when the sourcing script exits.

need=(nginx-light aria2 axel curl wget time openssl)
missing=()
for p in "${need[@]}"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi
# ZORVAN_CLI names another build to time, an older one say, to compare.
if [ -z "${ZORVAN_CLI:-}" ]; then
  [ -x build/default/bin/zorvan-cli ] || ./scripts/build default >/dev/null
fi
cli="${ZORVAN_CLI:-$PWD/build/default/bin/zorvan-cli}"

work="$PWD/build/bench"
data="$work/www"
out="$work/out"
mkdir -p "$data" "$out" "$work/tmp"
chmod 755 "$work" "$data"

make_file() {  # name MiB
  if [ ! -s "$data/$1" ] || [ "$(stat -c %s "$data/$1")" -ne $(( $2 * 1048576 )) ]; then
    echo "making $1 ($2 MiB)..." >&2
    head -c $(( $2 * 1048576 )) /dev/urandom > "$data/$1"
  fi
  sha256sum "$data/$1" | cut -d' ' -f1 > "$data/$1.sha256"
}
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
tls_port=$(free_port)
ca="$work/tls/ca.pem"
if [ ! -s "$work/tls/server.pem" ]; then
  mkdir -p "$work/tls"
  (
    cd "$work/tls"
    ec=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)
    openssl req -x509 "${ec[@]}" -keyout ca.key -out ca.pem -days 3650 -subj /CN=Zorvan-Bench-CA
    openssl req "${ec[@]}" -keyout server.key -out server.csr -subj /CN=localhost
    echo "subjectAltName=DNS:localhost" > server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 -extfile server.ext -out server.pem
  ) >/dev/null 2>&1
  chmod 755 "$work/tls"; chmod 644 "$work/tls"/*
fi
cat > "$work/nginx.conf" <<CONF
worker_processes 2;
error_log $work/error.log;
pid $work/nginx.pid;
events { worker_connections 1024; }
http {
  access_log off;
  log_format sent '\$status "\$http_range" \$body_bytes_sent';
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    location /open/ { alias $data/; }
    location /capped/ { alias $data/; limit_rate 25m; }
    location /slow/ { alias $data/; limit_rate 4m; access_log $work/slow.log sent; }
    location /slow-unlogged/ { alias $data/; limit_rate 4m; }
    location /bare/ {
      proxy_pass http://127.0.0.1:$port/slow-unlogged/;
      proxy_buffering off;
      proxy_hide_header ETag;
      proxy_hide_header Last-Modified;
      access_log $work/slow.log sent;
    }
  }
  server {
    listen 127.0.0.1:$tls_port ssl;
    ssl_certificate $work/tls/server.pem;
    ssl_certificate_key $work/tls/server.key;
    ssl_protocols TLSv1.2 TLSv1.3;
    location /open/ { alias $data/; }
  }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" -g 'daemon off;' &
nginx_pid=$!
trap 'kill $nginx_pid 2>/dev/null || true; wait $nginx_pid 2>/dev/null || true; rm -rf "$out"' EXIT
for _ in $(seq 1 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done

