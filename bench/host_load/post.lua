-- One tools/list per connection, as MCP clients of the local host send it.
wrk.method = "POST"
wrk.body = '{"jsonrpc":"2.0","id":1,"method":"tools/list"}'
wrk.headers["Content-Type"] = "application/json"
wrk.headers["Accept"] = "application/json, text/event-stream"
wrk.headers["Authorization"] = "Bearer bench-token"
wrk.headers["Connection"] = "close"
